#include "sources/dde_client.h"

#include "platform/ui_services.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

namespace {

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

QString ddepublish()
{
    return qEnvironmentVariable("TORVANEL_BUILD_DIR", QCoreApplication::applicationDirPath() + QStringLiteral("/.."))
         + QStringLiteral("/ddepublish");
}

bool registered(const QString &service)
{
    return bus().interface()->isServiceRegistered(QStringLiteral("dde.") + service);
}

// A ddepublish server fed through its standard input.
class Publisher
{
public:
    Publisher(const QString &service, const QString &text) : service(service)
    {
        process.start(ddepublish(), {service, QStringLiteral("Data"), QStringLiteral("Azimuth"), text});
        // A loaded machine, or a sanitizer build, may take seconds to start it up to its name.
        started = process.waitForStarted() && QTest::qWaitFor([&] { return registered(service); }, 20000);
    }
    ~Publisher()
    {
        process.kill();
        process.waitForFinished();
        // The bus drops the name a moment after the process ends: the next server of the same
        // name would otherwise be taken as started while the bus still names this one.
        if (!QTest::qWaitFor([this] { return !registered(service); }))
            qWarning("dde.%s is still on the bus", qPrintable(service));
    }

    void publish(const QString &line) { process.write(line.toUtf8() + '\n'); }

    // The server's own answer: once it is the value last published, every Changed the server
    // emitted before it has reached this process.
    QByteArray value()
    {
        QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("dde.") + service, QStringLiteral("/Data"),
            QStringLiteral("dde.Conversation"), QStringLiteral("Request"));
        message << QStringLiteral("Azimuth");
        return bus().call(message).arguments().value(0).toByteArray();
    }

    void quit()
    {
        process.terminate();
        process.waitForFinished();
    }

    bool started = false;

private:
    QString service;
    QProcess process;
};

// Ends a server that the client started, whatever the outcome of the test.
struct StartedServer {
    explicit StartedServer(const QString &service)
        : pid(bus().interface()->servicePid(QStringLiteral("dde.") + service).value())
    {
    }
    ~StartedServer()
    {
        if (pid > 0)
            ::kill(pid_t(pid), SIGTERM);
    }
    uint pid;
};

// A server that owns its name but cannot answer while the client's thread waits for it.
class SilentConversation : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "dde.Conversation")

public slots:
    bool Advise(const QString &) { return true; }
    QByteArray Request(const QString &) { return "45\xb0"; }
};

// The client's events in order, with the item's text at each change.
struct Events {
    Events(DdeClientConv &conversation, DdeClientItem &item)
    {
        QObject::connect(&conversation, &DdeClientConv::OnOpen, [this] { list.append(QStringLiteral("open")); });
        QObject::connect(&conversation, &DdeClientConv::OnClose, [this] { list.append(QStringLiteral("close")); });
        QObject::connect(&item, &DdeClientItem::OnChange, [this, &item] { list.append(QStringLiteral("change ") + item.text()); });
    }
    QStringList take() { return std::exchange(list, {}); }
    QStringList list;
};

} // namespace

class TestDdeClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void itemFollowsServer_data();
    void itemFollowsServer();
    void serverQuitting();
    void closingStopsChanges();
    void switchingServices();
    void serverStartedByCommandLine();
    void noServer_data();
    void noServer();
    void serverNotAnswering();

private:
    QByteArray path;
};

void TestDdeClient::initTestCase()
{
    QVERIFY(bus().isConnected());
    QVERIFY2(QFile::exists(ddepublish()), qPrintable(ddepublish()));
    // Servers the client starts inherit standard input; they must not read the terminal.
    QVERIFY(std::freopen("/dev/null", "r", stdin));
    path = qgetenv("PATH");
}

void TestDdeClient::itemFollowsServer_data()
{
    QTest::addColumn<QString>("published");
    QTest::addColumn<QString>("text");
    QTest::newRow("digits") << QStringLiteral("234") << QStringLiteral("234");
    QTest::newRow("degree sign") << QStringLiteral("234\u00b0") << QStringLiteral("234\u00b0");
    QTest::newRow("zero byte ends the data") << QString::fromLatin1("12\0" "3", 4) << QStringLiteral("12");
    QTest::newRow("carriage return a blank") << QStringLiteral("123\r") << QStringLiteral("123 ");
    QTest::newRow("empty") << QString() << QString();
}

void TestDdeClient::itemFollowsServer()
{
    QFETCH(QString, published);
    QFETCH(QString, text);
    Publisher velmundo(QStringLiteral("Velmundo"), QStringLiteral("90\u00b0"));
    QVERIFY(velmundo.started);
    DdeClientConv conversation;
    DdeClientItem item(&conversation);
    Events events(conversation, item);
    QVERIFY(conversation.openLink(QStringLiteral("Velmundo"), QStringLiteral("Data")));
    QVERIFY(conversation.isOpen());
    QCOMPARE(conversation.service(), QStringLiteral("Velmundo"));
    item.setItem(QStringLiteral("Azimuth"));
    QCOMPARE(events.take(), QStringList({QStringLiteral("open"), QStringLiteral("change 90\u00b0")}));

    velmundo.publish(published);
    QTRY_COMPARE(events.list, QStringList({QStringLiteral("change ") + text}));
    QCOMPARE(item.text(), text);
}

void TestDdeClient::serverQuitting()
{
    Publisher velmundo(QStringLiteral("Velmundo"), QStringLiteral("123"));
    QVERIFY(velmundo.started);
    DdeClientConv conversation;
    DdeClientItem item(&conversation);
    QVERIFY(conversation.openLink(QStringLiteral("Velmundo"), QStringLiteral("Data")));
    item.setItem(QStringLiteral("Azimuth"));
    QSignalSpy closed(&conversation, &DdeClientConv::OnClose);
    velmundo.quit();
    QVERIFY(closed.wait());
    QVERIFY(!conversation.isOpen());
    QCOMPARE(item.text(), QStringLiteral("123"));
    conversation.closeLink();
    QCOMPARE(closed.count(), 1);
}

void TestDdeClient::closingStopsChanges()
{
    Publisher velmundo(QStringLiteral("Velmundo"), QStringLiteral("123"));
    QVERIFY(velmundo.started);
    DdeClientConv conversation;
    DdeClientItem item(&conversation);
    Events events(conversation, item);
    QVERIFY(conversation.openLink(QStringLiteral("Velmundo"), QStringLiteral("Data")));
    item.setItem(QStringLiteral("Azimuth"));
    conversation.closeLink();
    conversation.closeLink();
    QCOMPARE(events.take(), QStringList({QStringLiteral("open"), QStringLiteral("change 123"), QStringLiteral("close")}));
    QVERIFY(conversation.service().isEmpty());

    velmundo.publish(QStringLiteral("77"));
    QTRY_COMPARE(velmundo.value(), QByteArray("77"));
    QCoreApplication::processEvents();
    QCOMPARE(events.list, QStringList());
    QCOMPARE(item.text(), QStringLiteral("123"));
}

void TestDdeClient::switchingServices()
{
    Publisher velmundo(QStringLiteral("Velmundo"), QStringLiteral("10"));
    Publisher beamDx(QStringLiteral("Beam_DX"), QStringLiteral("20"));
    QVERIFY(velmundo.started && beamDx.started);
    DdeClientConv conversation;
    DdeClientItem item(&conversation);
    QVERIFY(conversation.openLink(QStringLiteral("Velmundo"), QStringLiteral("Data")));
    item.setItem(QStringLiteral("Azimuth"));
    QCOMPARE(item.text(), QStringLiteral("10"));

    Events events(conversation, item);
    QVERIFY(conversation.openLink(QStringLiteral("Beam_DX"), QStringLiteral("Data")));
    item.setItem(QStringLiteral("Azimuth"));
    QCOMPARE(events.take().mid(0, 3), QStringList({QStringLiteral("close"), QStringLiteral("open"), QStringLiteral("change 20")}));
    QCOMPARE(conversation.service(), QStringLiteral("Beam_DX"));

    velmundo.publish(QStringLiteral("11"));
    QTRY_COMPARE(velmundo.value(), QByteArray("11"));
    beamDx.publish(QStringLiteral("21"));
    QTRY_COMPARE(events.list, QStringList({QStringLiteral("change 21")}));
}

void TestDdeClient::serverStartedByCommandLine()
{
    QTemporaryDir programs;
    QVERIFY(QFile::link(ddepublish(), programs.filePath(QStringLiteral("Velmundo"))));
    qputenv("PATH", QFile::encodeName(programs.path()) + ':' + path);
    platform::ScopedRecordingUi ui;
    DdeClientConv conversation;
    DdeClientItem item(&conversation);
    Events events(conversation, item);
    const bool opened = conversation.openLink(QStringLiteral("Velmundo"), QStringLiteral("Data"));
    qputenv("PATH", path);
    const StartedServer server(QStringLiteral("Velmundo"));
    QVERIFY(opened);
    QCOMPARE(ui->started.size(), 1);
    QCOMPARE(ui->started[0].program, programs.filePath(QStringLiteral("Velmundo")));
    QCOMPARE(ui->started[0].arguments, QStringList({QStringLiteral("Data")}));
    item.setItem(QStringLiteral("Azimuth"));
    QCOMPARE(events.take(), QStringList({QStringLiteral("open"), QStringLiteral("change ")}));

    // Running already: connected without starting it again.
    QVERIFY(conversation.openLink(QStringLiteral("Velmundo"), QStringLiteral("Data")));
    QCOMPARE(ui->started.size(), 1);

    QVERIFY(server.pid > 0);
    ::kill(pid_t(server.pid), SIGTERM);
    QSignalSpy closed(&conversation, &DdeClientConv::OnClose);
    QVERIFY(closed.wait());
}

void TestDdeClient::noServer_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("not installed") << QString();
    QTest::newRow("started, never takes its name") << QStandardPaths::findExecutable(QStringLiteral("true"));
}

void TestDdeClient::noServer()
{
    QFETCH(QString, program);
    QTemporaryDir programs;
    if (!program.isEmpty())
        QVERIFY(QFile::link(program, programs.filePath(QStringLiteral("Velmundo"))));
    qputenv("PATH", QFile::encodeName(programs.path()));
    platform::ScopedRecordingUi ui;
    DdeClientConv conversation;
    DdeClientItem item(&conversation);
    Events events(conversation, item);
    const bool opened = conversation.openLink(QStringLiteral("Velmundo"), QStringLiteral("Data"));
    qputenv("PATH", path);
    QVERIFY(!opened);
    QCOMPARE(ui->started.size(), program.isEmpty() ? 0 : 1);
    QVERIFY(!conversation.isOpen());
    QVERIFY(conversation.service().isEmpty() && conversation.topic().isEmpty());
    item.setItem(QStringLiteral("Azimuth"));
    QCOMPARE(events.take(), QStringList({QStringLiteral("change ")}));
}

void TestDdeClient::serverNotAnswering()
{
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("silent"));
    SilentConversation silent;
    QVERIFY(other.registerObject(QStringLiteral("/Data"), &silent, QDBusConnection::ExportAllSlots));
    QVERIFY(other.registerService(QStringLiteral("dde.Silent")));
    DdeClientConv conversation;
    DdeClientItem item(&conversation);
    Events events(conversation, item);
    QVERIFY(conversation.openLink(QStringLiteral("Silent"), QStringLiteral("Data")));
    item.setItem(QStringLiteral("Azimuth"));
    // The advise loop was not confirmed within the transaction time: the item is dropped.
    QCOMPARE(events.take(), QStringList({QStringLiteral("open"), QStringLiteral("change ")}));
    QDBusConnection::disconnectFromBus(QStringLiteral("silent"));
}

QTEST_GUILESS_MAIN(TestDdeClient)
#include "test_dde_client.moc"
