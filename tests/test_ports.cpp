#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "ports/port_discovery.h"
#include "ports/ppdev_port_library.h"
#include "ports/recording_port_library.h"

namespace ports {
char *toString(const RecordingPortLibrary::Call &call)
{
    QStringList arguments;
    for (int argument : call.arguments)
        arguments.append(QString::number(argument));
    return qstrdup(qPrintable(call.operation + QLatin1Char('(') + arguments.join(QLatin1String(", ")) + QLatin1Char(')')));
}
}

using ports::RecordingPortLibrary;
using Call = RecordingPortLibrary::Call;

namespace {
// A live serial device for comports links: the slave side of a pseudo-terminal.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0)
            path = QString::fromLocal8Bit(name);
    }
    ~PseudoTerminal()
    {
        ::close(master);
        ::close(slave);
    }
    QString path;

private:
    int master = -1;
    int slave = -1;
};

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Builds a /proc/sys/dev/parport-like tree: "parport0=888\t1912" is a port with its base-addr,
// a bare name is a folder without one.
void makeInventory(const QString &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        QVERIFY(QDir().mkpath(root + QLatin1Char('/') + name));
        if (entry.contains(QLatin1Char('=')))
            writeFile(root + QLatin1Char('/') + name + QLatin1String("/base-addr"),
                      entry.section(QLatin1Char('='), 1).toLatin1());
    }
}

// ppdev's claim sleeps while another open of the port holds it; so does a lock on a file, which
// stands in for the claim where there is no parallel port.
int lockClaim(int descriptor)
{
    return ::flock(descriptor, LOCK_EX) == 0 ? 0 : errno;
}

// How many of this process's descriptors are open on the file.
int descriptorsOn(const QString &path)
{
    const QString file = QFileInfo(path).canonicalFilePath();
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    int count = 0;
    for (const QString &entry : descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        count += QFileInfo(descriptors.filePath(entry)).symLinkTarget() == file;
    return count;
}

QList<int> toInts(const std::array<quint16, 3> &values)
{
    return {values[0], values[1], values[2]};
}
QStringList toList(const std::array<QString, 3> &values)
{
    return {values[0], values[1], values[2]};
}
}

class TestPorts : public QObject
{
    Q_OBJECT
private slots:
    void nomsPorts_data();
    void nomsPorts();
    void lptPortList_data();
    void lptPortList();
    void isZntportOpen_data();
    void isZntportOpen();
    void baseAddress_data();
    void baseAddress();
    void ppdevFailure_data();
    void ppdevFailure();
    void ppdevRegisters_data();
    void ppdevRegisters();
    void ppdevHeldPortIsRefusedWithoutWaiting();
    void recordingLibrary();
};

void TestPorts::nomsPorts_data()
{
    QTest::addColumn<QStringList>("live");     // comports links to a pseudo-terminal
    // comports entries that are no serial device: "COMn" a link to a missing device, "COMn/" a
    // folder, "COMn>path" a link to path
    QTest::addColumn<QStringList>("unusable");
    QTest::addColumn<QStringList>("present");  // devices the system reports
    QTest::addColumn<QStringList>("expected");
    const QStringList none;
    QTest::newRow("sorted as text, not by number") << QStringList{"COM3", "COM10", "COM1"} << none << none
                                                   << QStringList{"COM1", "COM10", "COM3"};
    QTest::newRow("link to a missing device left out") << QStringList{"COM4"} << QStringList{"COM2"} << none
                                                       << QStringList{"COM4"};
    QTest::newRow("folder and device of no serial kind left out")
        << QStringList{"COM4"} << QStringList{"COM2/", "COM6>/dev/null"} << none << QStringList{"COM4"};
    QTest::newRow("names other than COMn left out")
        << QStringList{"COM0", "CNCA0", "COMX", "com5", "COM06", "COM7a"} << none << none << none;
    QTest::newRow("present devices of each range")
        << none << none << QStringList{"/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyACM31"}
        << QStringList{"COM1", "COM34", "COM96"};
    QTest::newRow("present devices outside the table left out")
        << none << none << QStringList{"/dev/ttyS32", "/dev/ttyAMA0", "/dev/ttyUSB01", "/dev/pts/3"} << none;
    QTest::newRow("each name once")
        << QStringList{"COM1"} << none << QStringList{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS1"}
        << QStringList{"COM1", "COM2"};
    QTest::newRow("dangling link hides the table device")
        << none << QStringList{"COM1"} << QStringList{"/dev/ttyS0"} << none;
    QTest::newRow("links and table devices sorted together")
        << QStringList{"COM2"} << none << QStringList{"/dev/ttyS9"} << QStringList{"COM10", "COM2"};
}

void TestPorts::nomsPorts()
{
    QFETCH(QStringList, live);
    QFETCH(QStringList, unusable);
    QFETCH(QStringList, present);
    QFETCH(QStringList, expected);
    QTemporaryDir parent;
    const QString comports = parent.path() + QLatin1String("/comports/");
    QVERIFY(QDir().mkpath(comports));
    std::vector<std::unique_ptr<PseudoTerminal>> terminals;
    for (const QString &name : live) {
        terminals.push_back(std::make_unique<PseudoTerminal>());
        QVERIFY(!terminals.back()->path.isEmpty());
        QVERIFY(QFile::link(terminals.back()->path, comports + name));
    }
    for (const QString &entry : unusable) {
        if (entry.endsWith(QLatin1Char('/')))
            QVERIFY(QDir().mkpath(comports + entry));
        else
            QVERIFY(QFile::link(entry.contains(QLatin1Char('>')) ? entry.section(QLatin1Char('>'), 1)
                                                                 : parent.path() + QLatin1String("/unplugged"),
                                comports + entry.section(QLatin1Char('>'), 0, 0)));
    }
    QCOMPARE(ports::NomsPorts(parent.path(), present), expected);
}

void TestPorts::lptPortList_data()
{
    QTest::addColumn<QStringList>("inventory"); // empty: no inventory folder
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("namesBefore");
    QTest::addColumn<QStringList>("textsBefore");
    QTest::addColumn<QList<int>>("library"); // GetLPTPortAddress of LPT1..3
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("addresses");
    QTest::addColumn<bool>("libraryAsked");
    const QStringList noNames{"", "", ""};
    const QStringList noTexts{"0000", "0000", "0000"};
    const QList<int> zero{0, 0, 0};
    QTest::newRow("LPT1 and LPT2 from the inventory")
        << QStringList{"parport0=888\t1912\n", "parport1=632\t1656\n", "default"} << 3 << noNames << noTexts
        << QList<int>{0x3BC, 0, 0} << QStringList{"LPT1", "LPT2", ""} << QStringList{"0378", "0278", "0000"}
        << zero << false;
    QTest::newRow("no inventory: the library fills in, earlier entries stay")
        << QStringList{} << 3 << QStringList{"", "", "LPT3"} << QStringList{"0000", "0000", "03BC"}
        << QList<int>{0x278, 0, 0} << QStringList{"LPT1", "", "LPT3"} << QStringList{"0278", "0000", "03BC"}
        << QList<int>{0x278, 0, 0} << true;
    QTest::newRow("inventory without ports resets, then the library")
        << QStringList{"default"} << 3 << QStringList{"", "", "LPT3"} << QStringList{"0000", "0000", "03BC"}
        << zero << noNames << noTexts << zero << true;
    QTest::newRow("count limits the reset")
        << QStringList{"default"} << 1 << QStringList{"LPT1", "LPT2", "LPT3"}
        << QStringList{"0378", "0278", "03BC"} << zero << QStringList{"", "LPT2", "LPT3"}
        << QStringList{"0000", "0278", "03BC"} << zero << true;
    QTest::newRow("address 0 passed over")
        << QStringList{"parport0=0\t0", "parport1=632"} << 3 << noNames << noTexts << zero
        << QStringList{"", "LPT2", ""} << QStringList{"0000", "0278", "0000"} << zero << false;
    QTest::newRow("address beyond 16 bits passed over")
        << QStringList{"parport0=70000"} << 3 << noNames << noTexts << zero << noNames << noTexts << zero << true;
    QTest::newRow("port without base-addr passed over")
        << QStringList{"parport0", "parport2=956"} << 3 << noNames << noTexts << zero
        << QStringList{"", "", "LPT3"} << QStringList{"0000", "0000", "03BC"} << zero << false;
    QTest::newRow("a last port beyond LPT3 hands over to the library")
        << QStringList{"parport0=888", "parport3=1000"} << 3 << noNames << noTexts << QList<int>{0x3BC, 0, 0}
        << QStringList{"LPT1", "", ""} << QStringList{"03BC", "0000", "0000"} << QList<int>{0x3BC, 0, 0} << true;
    QTest::newRow("ports taken in number order")
        << QStringList{"parport10=4096", "parport2=956"} << 3 << noNames << noTexts << zero
        << QStringList{"", "", "LPT3"} << QStringList{"0000", "0000", "03BC"} << zero << true;
}

void TestPorts::lptPortList()
{
    QFETCH(QStringList, inventory);
    QFETCH(int, count);
    QFETCH(QStringList, namesBefore);
    QFETCH(QStringList, textsBefore);
    QFETCH(QList<int>, library);
    QFETCH(bool, libraryAsked);
    QTemporaryDir root;
    const QString dir = root.path() + QLatin1String("/parport");
    makeInventory(dir, inventory);
    ports::ScopedRecordingPortLibrary recorder;
    for (int n = 0; n < 3; ++n)
        recorder->lptAddresses[n + 1] = quint16(library[n]);
    ports::LptPorts before;
    for (int n = 0; n < 3; ++n) {
        before.LptName[n] = namesBefore[n];
        before.LptAddressText[n] = textsBefore[n];
    }
    const ports::LptPorts after = ports::LPTportList(count, before, dir);
    QTEST(toList(after.LptName), "names");
    QTEST(toList(after.LptAddressText), "texts");
    QTEST(toInts(after.LptAddress), "addresses");
    QCOMPARE(!recorder->calls.isEmpty(), libraryAsked);
}

void TestPorts::isZntportOpen_data()
{
    QTest::addColumn<QStringList>("devices"); // "name>" is a link to a missing device
    QTest::addColumn<bool>("expected");
    QTest::newRow("parport0") << QStringList{"ttyS0", "parport0"} << true;
    QTest::newRow("only a higher port") << QStringList{"parport3"} << true;
    QTest::newRow("no parport device") << QStringList{"lp0", "parport", "parportA", "parport01"} << false;
    QTest::newRow("dangling link") << QStringList{"parport0>"} << false;
}

void TestPorts::isZntportOpen()
{
    QFETCH(QStringList, devices);
    QTemporaryDir dev;
    for (const QString &device : devices) {
        if (device.endsWith(QLatin1Char('>')))
            QVERIFY(QFile::link(dev.path() + QLatin1String("/gone"), dev.path() + QLatin1Char('/') + device.chopped(1)));
        else
            writeFile(dev.path() + QLatin1Char('/') + device, {});
    }
    QTEST(ports::IsZntportOpen(dev.path()), "expected");
}

void TestPorts::baseAddress_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("expected");
    QTest::newRow("base and extended base") << QByteArray("888\t1912\n") << 888;
    QTest::newRow("highest 16-bit address") << QByteArray("65535") << 65535;
    QTest::newRow("beyond 16 bits") << QByteArray("65536") << 0;
    QTest::newRow("hexadecimal text") << QByteArray("0x378") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TestPorts::baseAddress()
{
    QFETCH(QByteArray, content);
    QTemporaryDir root;
    makeInventory(root.path(), {QLatin1String("parport1=") + QString::fromLatin1(content)});
    ports::PpdevPortLibrary library(root.path(), root.path());
    QTEST(int(library.GetLPTPortAddress(2)), "expected");
    QCOMPARE(library.GetLPTPortAddress(1), quint16(0));
}

void TestPorts::ppdevFailure_data()
{
    QTest::addColumn<QString>("device");
    QTest::newRow("device missing") << "missing";
    QTest::newRow("device cannot be opened") << "folder";
    QTest::newRow("device is no parallel port") << "file";
    QTest::newRow("character device that refuses the claim") << "null";
}

void TestPorts::ppdevFailure()
{
    QFETCH(QString, device);
    QTemporaryDir root;
    makeInventory(root.path() + QLatin1String("/proc"), {"parport0=888\t1912"});
    const QString dev = root.path() + QLatin1String("/dev");
    const QString port = dev + QLatin1String("/parport0");
    QVERIFY(QDir().mkpath(dev));
    if (device == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(port));
    else if (device == QLatin1String("file"))
        writeFile(port, {});
    else if (device == QLatin1String("null"))
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), port));

    ports::PpdevPortLibrary library(root.path() + QLatin1String("/proc"), dev);
    QString text;
    library.EnablePorts(0x378, 0x378);
    QVERIFY(library.GetLastState(&text) != 0);
    QVERIFY2(text.contains(port), qPrintable(text));
    library.Outport(0x378, 1);
    QVERIFY(library.GetLastState() != 0);
    library.Outport(0x37A, 1);
    QVERIFY(library.GetLastState() != 0);
    // Nothing was claimed, so withdrawing succeeds and the state follows the last operation.
    library.DisablePorts(0x378, 0x378);
    QCOMPARE(library.GetLastState(&text), 0);
    QVERIFY(text.isEmpty());
}

void TestPorts::ppdevRegisters_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("opensDevice");
    QTest::newRow("data register") << 0x378 << true;
    QTest::newRow("control register") << 0x37A << true;
    QTest::newRow("status register") << 0x379 << false;
    QTest::newRow("address of no port") << 0x278 << false;
}

void TestPorts::ppdevRegisters()
{
    QFETCH(int, port);
    QFETCH(bool, opensDevice);
    QTemporaryDir root;
    makeInventory(root.path(), {"parport0=888"});
    // No device: a write to one of the port's registers fails in opening it, any other at once.
    ports::PpdevPortLibrary library(root.path(), root.path() + QLatin1String("/dev"));
    QString text;
    library.Outport(quint16(port), 0);
    QVERIFY(library.GetLastState(&text) != 0);
    QCOMPARE(text.contains(QLatin1String("/dev/parport0")), opensDevice);
}

void TestPorts::ppdevHeldPortIsRefusedWithoutWaiting()
{
    QTemporaryDir root;
    const QString inventory = root.path() + QLatin1String("/proc");
    const QString dev = root.path() + QLatin1String("/dev");
    makeInventory(inventory, {"parport0=888"});
    QVERIFY(QDir().mkpath(dev));
    const QString device = dev + QLatin1String("/parport0");
    writeFile(device, {});
    const QByteArray path = QFile::encodeName(device);
    int otherProgram = ::open(path.constData(), O_RDWR | O_CLOEXEC);
    QCOMPARE(::flock(otherProgram, LOCK_EX), 0);
    {
        ports::PpdevPortLibrary library(inventory, dev, lockClaim);
        QString text;
        library.EnablePorts(0x378, 0x378);
        QCOMPARE(library.GetLastState(&text), EBUSY);
        QVERIFY2(text.contains(device), qPrintable(text));
        library.Outport(0x37A, 1);
        QCOMPARE(library.GetLastState(), EBUSY);

        // Let go: the claim left waiting takes the port, and a later operation finds it claimed.
        ::close(otherProgram);
        QTRY_COMPARE((library.EnablePorts(0x378, 0x378), library.GetLastState()), 0);
        otherProgram = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        QCOMPARE(::flock(otherProgram, LOCK_EX | LOCK_NB), -1);
        library.DisablePorts(0x378, 0x378);
        QCOMPARE(::flock(otherProgram, LOCK_EX | LOCK_NB), 0);

        library.EnablePorts(0x378, 0x378);
        QCOMPARE(library.GetLastState(), EBUSY);
    }
    // The library is gone while its claim still waits: once the port is free, the claim gives
    // it back and closes the device.
    ::close(otherProgram);
    QTRY_COMPARE(descriptorsOn(device), 0);
}

void TestPorts::recordingLibrary()
{
    {
        ports::ScopedRecordingPortLibrary recorder;
        QCOMPARE(&ports::portLibrary(), &*recorder);
        ports::PortLibrary &library = ports::portLibrary();
        recorder->lptAddresses[2] = 0x278;
        QCOMPARE(library.GetLPTPortAddress(2), quint16(0x278));
        library.EnablePorts(0x378, 0x378);
        library.Outport(0x37A, 8);
        recorder->recordPause(10);
        recorder->failing = true;
        library.Outport(0x378, 0x104);
        QVERIFY(library.GetLastState() != 0);
        recorder->failing = false;
        library.Outport(0x37A, 0);
        QCOMPARE(library.GetLastState(), 0);
        const QList<Call> all{{"GetLPTPortAddress", {2}}, {"EnablePorts", {0x378, 0x378}},
                              {"Outport", {0x37A, 8}},    {"wait", {10}},
                              {"Outport", {0x378, 4}},    {"GetLastState", {}},
                              {"Outport", {0x37A, 0}},    {"GetLastState", {}}};
        QCOMPARE(recorder->calls, all);
        const QList<Call> outputs{{"Outport", {0x37A, 8}}, {"wait", {10}}, {"Outport", {0x378, 4}},
                                  {"Outport", {0x37A, 0}}};
        QCOMPARE(recorder->outputs(), outputs);
    }
    QVERIFY(dynamic_cast<ports::PpdevPortLibrary *>(&ports::portLibrary()));
}

QTEST_GUILESS_MAIN(TestPorts)
#include "test_ports.moc"
