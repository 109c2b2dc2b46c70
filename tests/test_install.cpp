#include <unistd.h>

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include "app/paths.h"
#include "support/pseudo_terminal.h"
#include "support/running_program.h"

// An install into a prefix of its own, its executable directory read-only as a system install
// is: the files land where the desktop and the program look for them, and the settings live in
// the user's configuration directory.
class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void desktopEntryAndIconAreInPlace();
    void helpPagesAreFoundWhereTheInstallPutThem();
    void configurationDirectoryFollowsXdg_data();
    void configurationDirectoryFollowsXdg();
    void settingsAndPortNamesLiveInTheUsersDirectory();
    void cleanupTestCase();

private:
    QString installed(const QString &path) const { return prefix.filePath(path); }
    // Runs the installed program as a user who cannot write its directory (root can write
    // anything, so root runs it as nobody).
    int runInstalled();
    QByteArray userConfiguration() const;

    QTemporaryDir prefix;
    QTemporaryDir user;
};

namespace {
constexpr uid_t nobody = 65534;

QString run(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(120000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

// The keys of the desktop entry's one group.
QMap<QString, QString> desktopEntry(const QString &path)
{
    QMap<QString, QString> keys;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (line.contains('='))
                keys.insert(QString::fromUtf8(line.left(line.indexOf('='))),
                            QString::fromUtf8(line.mid(line.indexOf('=') + 1)));
    return keys;
}

// The file's lines with these keys set anew.
QByteArray withKeys(const QByteArray &text, const QList<QByteArray> &lines)
{
    QByteArray result;
    for (const QByteArray &line : text.split('\n')) {
        const bool replaced = std::any_of(lines.begin(), lines.end(), [&](const QByteArray &each) {
            return line.startsWith(each.left(each.indexOf('=') + 1));
        });
        if (!replaced && !line.isEmpty())
            result += line + '\n';
    }
    for (const QByteArray &line : lines)
        result += line + "\r\n";
    return result;
}

void giveToUser(const QString &path)
{
    if (::geteuid() == 0)
        QCOMPARE(::chown(QFile::encodeName(path).constData(), nobody, nobody), 0);
}
} // namespace

void TestInstall::initTestCase()
{
    int exitCode = 0;
    const QString output = run(QStringLiteral("cmake"),
                               {QStringLiteral("--install"), qEnvironmentVariable("TORVANEL_BUILD_DIR"),
                                QStringLiteral("--prefix"), prefix.path()},
                               &exitCode);
    QVERIFY2(exitCode == 0, qPrintable(output));
    QVERIFY(QFile::setPermissions(prefix.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                     | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                     | QFileDevice::ExeOther));
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                          | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(installed(QStringLiteral("bin")), readOnly));
    QFile::setPermissions(user.path(), readOnly | QFileDevice::WriteOwner);
    giveToUser(user.path());
}

void TestInstall::cleanupTestCase()
{
    // Lets the temporary prefix go.
    QFile::setPermissions(installed(QStringLiteral("bin")), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                 | QFileDevice::ExeOwner);
}

int TestInstall::runInstalled()
{
    const QString program = installed(QStringLiteral("bin/torvanel"));
    const QStringList environment = {
        QStringLiteral("XDG_CONFIG_HOME=") + user.filePath(QStringLiteral("config")),
        QStringLiteral("HOME=") + user.path(), QStringLiteral("XDG_RUNTIME_DIR="),
        QStringLiteral("LC_ALL=C")};
    if (::geteuid() != 0)
        return runAndEnd(program, {}, environment);
    return runAndEnd(QStringLiteral("setpriv"),
                     {QStringLiteral("--reuid=%1").arg(nobody), QStringLiteral("--regid=%1").arg(nobody),
                      QStringLiteral("--clear-groups"), program},
                     environment);
}

QByteArray TestInstall::userConfiguration() const
{
    QFile file(user.filePath(QStringLiteral("config/Torvanel/Torvanel.ini")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestInstall::desktopEntryAndIconAreInPlace()
{
    const QString entry = installed(QStringLiteral("share/applications/torvanel.desktop"));
    int exitCode = 0;
    const QString report = run(QStringLiteral("desktop-file-validate"), {entry}, &exitCode);
    QCOMPARE(exitCode, 0);
    // Hints are advice; errors and warnings are faults.
    QVERIFY2(!report.contains(QStringLiteral("error:")) && !report.contains(QStringLiteral("warning:")),
             qPrintable(report));

    const QMap<QString, QString> keys = desktopEntry(entry);
    QCOMPARE(keys.value(QStringLiteral("Categories")), QStringLiteral("HamRadio;Utility;"));
    QVERIFY(!keys.value(QStringLiteral("Comment[fr]")).isEmpty());
    QVERIFY(QFileInfo(installed(QStringLiteral("bin/") + keys.value(QStringLiteral("Exec")))).isExecutable());
    const QString icon = installed(QStringLiteral("share/icons/hicolor/scalable/apps/")
                                   + keys.value(QStringLiteral("Icon")) + QStringLiteral(".svg"));
    QFile picture(icon);
    QVERIFY(picture.open(QIODevice::ReadOnly));
    QXmlStreamReader svg(&picture);
    QVERIFY(svg.readNextStartElement());
    QCOMPARE(svg.name(), QStringLiteral("svg"));
    while (!svg.atEnd())
        svg.readNext();
    QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
}

void TestInstall::helpPagesAreFoundWhereTheInstallPutThem()
{
    const QString pages = helpDirectory(installed(QStringLiteral("bin")));
    QCOMPARE(pages, installed(QStringLiteral("share/torvanel")));
    for (const char *page : {"torvanel_en.htm", "torvanel_fr.htm", "main-window.png"})
        QVERIFY2(QFileInfo::exists(pages + QLatin1Char('/') + QLatin1String(page)), page);
    // A build or portable directory keeps its own.
    const QString build = qEnvironmentVariable("TORVANEL_BUILD_DIR");
    QCOMPARE(helpDirectory(build), build);
}

void TestInstall::configurationDirectoryFollowsXdg_data()
{
    QTest::addColumn<QString>("executableDirectory");
    QTest::addColumn<QByteArray>("xdgConfigHome");
    QTest::addColumn<QString>("expected");
    // A directory that does not exist cannot be written, even by root.
    const QString system = QStringLiteral("/nonexistent/torvanel/bin");
    const QString home = QDir::homePath();
    QTest::newRow("writable stays home") << user.path() << QByteArray("/xdg") << user.path();
    QTest::newRow("XDG_CONFIG_HOME") << system << QByteArray("/xdg") << QStringLiteral("/xdg/Torvanel");
    QTest::newRow("unset") << system << QByteArray() << home + QStringLiteral("/.config/Torvanel");
    QTest::newRow("relative is ignored") << system << QByteArray("xdg") << home + QStringLiteral("/.config/Torvanel");
}

void TestInstall::configurationDirectoryFollowsXdg()
{
    QFETCH(QString, executableDirectory);
    QFETCH(QByteArray, xdgConfigHome);
    QFETCH(QString, expected);
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    xdgConfigHome.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", xdgConfigHome);
    const QString found = configurationDirectory(executableDirectory);
    previous.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", previous);
    QCOMPARE(found, expected);
}

void TestInstall::settingsAndPortNamesLiveInTheUsersDirectory()
{
    QCOMPARE(runInstalled(), 0);
    QVERIFY(userConfiguration().startsWith("[TORVANEL  V2.4.1DX]"));
    QVERIFY(!QFile::exists(installed(QStringLiteral("bin/Torvanel.ini"))));

    // The next start reads what the user changed, and a COM name given in the same directory.
    PseudoTerminal line;
    giveToUser(line.path);
    const QString home = user.filePath(QStringLiteral("config/Torvanel"));
    line.linkAs(home, 3);
    const QByteArray text = withKeys(userConfiguration(), {"FAV1TXT=Home", "ANT=GS232", "PORT_GS232=3",
                                                           "PARKING=GS232", "AZIMUT_PARKING=180"});
    QFile file(home + QStringLiteral("/Torvanel.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    QCOMPARE(runInstalled(), 0);
    QCOMPARE(line.drain(), QByteArray("W180\r"));
    QVERIFY(userConfiguration().contains("FAV1TXT=Home\r\n"));
    QVERIFY(userConfiguration().contains("ANT=GS232\r\n"));
    QVERIFY(!QFile::exists(home + QStringLiteral("/Torvanel.~in")));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
