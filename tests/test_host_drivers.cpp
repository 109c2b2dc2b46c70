#include <optional>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/settings.h"
#include "platform/ui_services.h"
#include "platform/window_messages.h"
#include "rotator/driver_table.h"
#include "rotator/host_drivers.h"

using platform::Beep;
using platform::MessageKind;

// ARSWIN's main window as the bus offers it, on a connection of its own.
class ArswinStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "win.Window")
public:
    struct Posted {
        QString message;
        uint wParam;
        int lParam;
    };
    QList<Posted> posted;

    ArswinStandIn() : connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("arswin")))
    {
        connection.registerObject(QStringLiteral("/"), this, QDBusConnection::ExportAllSlots);
    }
    ~ArswinStandIn() override
    {
        close();
        QDBusConnection::disconnectFromBus(QStringLiteral("arswin"));
    }
    bool open() { return connection.registerService(QStringLiteral("win.ThunderForm.ARSWIN")); }
    void close() { connection.unregisterService(QStringLiteral("win.ThunderForm.ARSWIN")); }

public slots:
    Q_NOREPLY void PostMessage(const QString &message, uint wParam, int lParam)
    {
        posted.append({message, wParam, lParam});
    }

private:
    QDBusConnection connection;
};

class TestHostDrivers : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void arswinMessage_data();
    void arswinMessage();
    void arswinAbsentWarnsOnce();
    void stopPostsEvenWithAnotherInterface();
    void stopWithArswinAbsentDoesNothing();
    void noSessionBus();
    void movenowParameters_data();
    void movenowParameters();
    void movenowFile_data();
    void movenowFile();
    void movenowFailure_data();
    void movenowFailure();
    void movenowThreshold();

private:
    void track(int rotator, long double azimuth);
    // Writes a Movenow that records its arguments, one a line, beside itself.
    void writeMovenow(const QString &path);
    QStringList argumentsRecordedIn(const QString &directory);

    QTemporaryDir root;
    std::unique_ptr<platform::ScopedRecordingUi> recorder;
    std::unique_ptr<HostDrivers> drivers;
    DriverTable table;
    QString label;
};

void TestHostDrivers::init()
{
    settings() = Settings();
    settings().ExeDir = root.path();
    recorder = std::make_unique<platform::ScopedRecordingUi>();
    label = QStringLiteral("untouched");
    drivers = std::make_unique<HostDrivers>(HostDrivers::Hooks{[this](const QString &text) { label = text; }});
    table = DriverTable();
    drivers->registerIn(table);
}

void TestHostDrivers::cleanup()
{
    drivers.reset();
    recorder.reset();
}

void TestHostDrivers::track(int rotator, long double azimuth)
{
    settings().ANT = rotator;
    settings().TargetAzimuth = azimuth;
    std::optional<Outcome> outcome;
    QVERIFY(table.track(rotator, [&outcome](Outcome result, const QString &) { outcome = result; }));
    // The other program has the command once it is handed over; a skipped one has no outcome here.
    QCOMPARE(outcome, settings().CommandSkipped ? std::nullopt : std::optional(Outcome::Sent));
}

void TestHostDrivers::arswinMessage_data()
{
    QTest::addColumn<double>("target");
    QTest::addColumn<bool>("south");
    QTest::addColumn<uint>("wParam");
    QTest::newRow("359.7 is not wrapped") << 359.7 << false << 360u;
    QTest::newRow("0.5 half to even") << 0.5 << false << 0u;
    QTest::newRow("1.5 half to even") << 1.5 << false << 2u;
    QTest::newRow("south stop turns 90") << 90.0 << true << 270u;
    QTest::newRow("south stop turns 200") << 200.0 << true << 20u;
}

void TestHostDrivers::arswinMessage()
{
    QFETCH(double, target);
    QFETCH(bool, south);
    QFETCH(uint, wParam);
    ArswinStandIn arswin;
    QVERIFY(arswin.open());
    settings().STOP_EA4TX = south ? SouthStop : NorthStop;
    settings().CommandSkipped = true;
    track(EA4TX, target);
    QTRY_COMPARE(arswin.posted.size(), 1);
    QCOMPARE(arswin.posted[0].message, QStringLiteral("AZIMUTH"));
    QCOMPARE(arswin.posted[0].wParam, wParam);
    QCOMPARE(arswin.posted[0].lParam, 0);
    QCOMPARE(label, QString::number(wParam));
    // The engine clears CommandSkipped itself; a driver that sent leaves it alone.
    settings().CommandSkipped = false;
    track(EA4TX, target + 1);
    QVERIFY(!settings().CommandSkipped);
    QVERIFY((*recorder)->beeps.isEmpty());
    QVERIFY((*recorder)->messages.isEmpty());
}

void TestHostDrivers::arswinAbsentWarnsOnce()
{
    track(EA4TX, 123);
    QVERIFY(settings().CommandSkipped);
    QCOMPARE((*recorder)->beeps, QList<Beep>{Beep::Exclamation});
    QCOMPARE((*recorder)->messages.size(), 1);
    QCOMPARE((*recorder)->messages[0].kind, MessageKind::Warning);
    QCOMPARE((*recorder)->messages[0].text, QStringLiteral("ARSWIN must be running !"));
    QCOMPARE(label, QStringLiteral("untouched"));
    QCOMPARE(double(settings().LastAzimuth), 123.0);
    // Within the threshold of the target that already counted as sent: skipped without a word.
    settings().CommandSkipped = false;
    track(EA4TX, 123);
    QVERIFY(settings().CommandSkipped);
    QCOMPARE((*recorder)->messages.size(), 1);
}

void TestHostDrivers::stopPostsEvenWithAnotherInterface()
{
    ArswinStandIn arswin;
    QVERIFY(arswin.open());
    settings().ANT = GS232;
    table.stopAll();
    QTRY_COMPARE(arswin.posted.size(), 1);
    QCOMPARE(arswin.posted[0].message, QStringLiteral("AZIMUTH"));
    QCOMPARE(arswin.posted[0].wParam, 65535u);
    QCOMPARE(arswin.posted[0].lParam, 0);
    QCOMPARE(label, QStringLiteral("untouched"));
}

void TestHostDrivers::stopWithArswinAbsentDoesNothing()
{
    {
        // A window that has closed is absent too.
        ArswinStandIn arswin;
        QVERIFY(arswin.open());
        QVERIFY(platform::TopLevelWindow(QStringLiteral("ThunderForm"), QStringLiteral("ARSWIN")).exists());
        arswin.close();
        QVERIFY(!platform::TopLevelWindow(QStringLiteral("ThunderForm"), QStringLiteral("ARSWIN")).exists());
        table.stopAll();
    }
    QVERIFY((*recorder)->beeps.isEmpty());
    QVERIFY((*recorder)->messages.isEmpty());
}

void TestHostDrivers::noSessionBus()
{
    if (QDBusConnection::sessionBus().isConnected()) {
        // The bus is the process's for good: the case runs again in a child without one.
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("noSessionBus")});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData());
        return;
    }
    table.stopAll();
    QVERIFY((*recorder)->beeps.isEmpty());
    track(EA4TX, 10);
    QVERIFY(settings().CommandSkipped);
    QCOMPARE((*recorder)->beeps, QList<Beep>{Beep::Exclamation});
    QCOMPARE((*recorder)->messages.size(), 1);
}

void TestHostDrivers::writeMovenow(const QString &path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile::remove(QFileInfo(path).path() + QStringLiteral("/arguments"));
    QFile script(path);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n"
                 "d=$(dirname \"$0\")\n"
                 "printf '%s\\n' \"$@\" > \"$d/arguments.part\" && mv \"$d/arguments.part\" \"$d/arguments\"\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QStringList TestHostDrivers::argumentsRecordedIn(const QString &directory)
{
    QFile file(directory + QStringLiteral("/arguments"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    lines.removeLast();
    return lines;
}

void TestHostDrivers::movenowParameters_data()
{
    QTest::addColumn<double>("target");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("south");
    QTest::addColumn<QString>("digits");
    QTest::newRow("leading zeros") << 5.0 << 0 << false << QStringLiteral("005");
    QTest::newRow("offset wraps below") << 5.0 << 10 << false << QStringLiteral("355");
    QTest::newRow("offset wraps above") << 355.0 << -10 << false << QStringLiteral("005");
    QTest::newRow("359.5 half to even wraps") << 359.5 << 0 << false << QStringLiteral("000");
    QTest::newRow("south stop turns") << 90.0 << 0 << true << QStringLiteral("270");
}

void TestHostDrivers::movenowParameters()
{
    QFETCH(double, target);
    QFETCH(int, offset);
    QFETCH(bool, south);
    QFETCH(QString, digits);
    const QString directory = root.filePath(QStringLiteral("kct"));
    writeMovenow(directory + QStringLiteral("/Movenow.com"));
    settings().MOVENOW = directory + QLatin1Char('/');
    settings().AZOFFSET_KCT = offset;
    settings().STOP_KCT = south ? SouthStop : NorthStop;
    track(KCT, target);
    QCOMPARE(label, QStringLiteral("PA ") + digits);
    QVERIFY(!settings().CommandSkipped);
    QStringList arguments;
    QTRY_VERIFY_WITH_TIMEOUT(!(arguments = argumentsRecordedIn(directory)).isEmpty(), 20000);
    QCOMPARE(arguments, (QStringList{QStringLiteral("PA"), digits}));
    QVERIFY((*recorder)->messages.isEmpty());
}

void TestHostDrivers::movenowFile_data()
{
    QTest::addColumn<QString>("movenow");
    QTest::addColumn<QString>("file");  // relative to the executable's directory
    QTest::newRow("extension completed") << QStringLiteral("/kct/") << QStringLiteral("kct/Movenow.com");
    QTest::newRow("name as given first") << QStringLiteral("/plain/") << QStringLiteral("plain/Movenow");
    QTest::newRow("relative, backslashes") << QStringLiteral("c:\\radio\\kct\\") << QStringLiteral("c:/radio/kct/Movenow.com");
    QTest::newRow("blanks, quotes and shell characters")
        << QStringLiteral("/my \"kct\" $(touch pwned); 'x' & dir/") << QStringLiteral("my \"kct\" $(touch pwned); 'x' & dir/Movenow.com");
}

void TestHostDrivers::movenowFile()
{
    QFETCH(QString, movenow);
    QFETCH(QString, file);
    const QString path = root.filePath(file);
    writeMovenow(path);
    if (file.endsWith(QLatin1String("/Movenow")))
        writeMovenow(path + QStringLiteral(".com"));
    settings().MOVENOW = movenow.startsWith(QLatin1Char('/')) ? root.path() + movenow : movenow;
    track(KCT, 5);
    QVERIFY(!settings().CommandSkipped);
    QCOMPARE((*recorder)->started.size(), 1);
    QCOMPARE(QFileInfo((*recorder)->started[0].program).canonicalFilePath(), QFileInfo(path).canonicalFilePath());
    QStringList arguments;
    const QString directory = QFileInfo(path).path();
    QTRY_VERIFY_WITH_TIMEOUT(!(arguments = argumentsRecordedIn(directory)).isEmpty(), 20000);
    QCOMPARE(arguments, (QStringList{QStringLiteral("PA"), QStringLiteral("005")}));
    QVERIFY(!QFile::exists(root.filePath(QStringLiteral("pwned"))));
    QVERIFY(!QFile::exists(directory + QStringLiteral("/pwned")));
}

void TestHostDrivers::movenowFailure_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<int>("code");
    QTest::newRow("file missing") << QStringLiteral("directory") << 2;
    QTest::newRow("directory missing") << QStringLiteral("nothing") << 3;
    QTest::newRow("not executable") << QStringLiteral("plain file") << 31;
}

void TestHostDrivers::movenowFailure()
{
    QFETCH(QString, setUp);
    QFETCH(int, code);
    QTemporaryDir scratch;
    const QString directory = scratch.filePath(QStringLiteral("kct dir"));
    if (setUp != QLatin1String("nothing"))
        QVERIFY(QDir().mkpath(directory));
    if (setUp == QLatin1String("plain file")) {
        QFile file(directory + QStringLiteral("/Movenow.com"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
    }
    settings().MOVENOW = directory + QLatin1Char('/');
    track(KCT, 5);
    QVERIFY(settings().CommandSkipped);
    QCOMPARE((*recorder)->messages.size(), 1);
    QCOMPARE((*recorder)->messages[0].kind, MessageKind::Warning);
    QCOMPARE((*recorder)->messages[0].text, QStringLiteral("movenow.com error #") + QString::number(code));
    QCOMPARE(label, QStringLiteral("PA 005"));
}

void TestHostDrivers::movenowThreshold()
{
    (*recorder)->reallyStart = false;
    settings().STEP_KCT = 3;
    settings().LastAzimuth = 100;
    track(KCT, 102);
    QVERIFY(settings().CommandSkipped);
    QVERIFY((*recorder)->started.isEmpty());
    QCOMPARE(label, QStringLiteral("untouched"));
    settings().CommandSkipped = false;
    track(KCT, 103);
    QVERIFY(!settings().CommandSkipped);
    QCOMPARE((*recorder)->started.size(), 1);
}

QTEST_MAIN(TestHostDrivers)
#include "test_host_drivers.moc"
