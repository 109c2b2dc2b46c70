#include <csignal>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QStringConverter>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include "app/codepage.h"
#include "app/configuration.h"
#include "support/sample_configuration.h"
#include "platform/ui_services.h"

using namespace configuration;

namespace {

QString serverName(AzimuthServer server)
{
    switch (server) {
    case AzimuthServer::Velmundo:
        return QStringLiteral("VELMUNDO");
    case AzimuthServer::BeamDX:
        return QStringLiteral("BEAMDX");
    case AzimuthServer::N1MM:
        return QStringLiteral("N1MM");
    }
    return QString();
}

const char *const measureNames[] = {"Left", "Top", "Width", "Height"};

// Records what the reader does to the windows, and shows the writer what the windows would
// hold after the first activation has pushed the settings into them.
class RecordingTarget : public ConfigurationTarget
{
public:
    explicit RecordingTarget(Settings &s) : s(s) {}

    Settings &s;
    QStringList calls;
    Language shownLanguage = Language::English;
    bool autoState = false;
    AzimuthServer shownServer = AzimuthServer::Velmundo;
    bool elevation = false;
    bool host = false;
    std::array<int, 4> mainWindow = {3, 114, 471, 44};
    std::array<QString, InterfaceCount> portItems;
    bool interfaceChanged = false;
    std::array<bool, InterfaceCount> portChanged = {};

    void applyLanguage(Language language) override
    {
        shownLanguage = language;
        calls << (language == Language::French ? "language FRENCH" : "language ENGLISH");
    }
    void pressAuto() override
    {
        autoState = !autoState;
        calls << "auto";
    }
    void selectServer(AzimuthServer server) override
    {
        shownServer = server;
        calls << "server " + serverName(server) + (s.SuppressListenerStart ? " quiet" : "");
    }
    void applyBaud(int rotatorInterface, int index) override
    {
        calls << "baud " + interfaceKeyWord(rotatorInterface) + ' ' + BaudTable.at(index).text;
    }
    void turnOnEL_GS232() override
    {
        elevation = true;
        calls << "EL_GS232";
    }
    void turnOnTKB_HOST() override
    {
        host = true;
        calls << "TKB_HOST";
    }
    void moveMainWindow(WindowMeasure measure, int pixels) override
    {
        mainWindow[int(measure)] = pixels;
        calls << QString("window %1 %2").arg(measureNames[int(measure)]).arg(pixels);
    }
    void setFavouriteCaption(int favourite, const QString &caption) override
    {
        calls << QString("caption %1 [%2]").arg(favourite + 1).arg(caption);
    }

    Language language() const override { return shownLanguage; }
    bool autoOn() const override { return autoState; }
    AzimuthServer server() const override { return shownServer; }
    QString portN1mmText() const override { return s.PORTN1MM; }
    QString antN1mmText() const override { return s.ANTN1MM; }
    QString selectedPortItem(int rotatorInterface) const override { return portItems[rotatorInterface]; }
    bool EL_GS232() const override { return elevation; }
    bool TKB_HOST() const override { return host; }
    QString kctDirectoryText() const override { return s.MOVENOW; }
    int mainWindowMeasure(WindowMeasure measure) const override { return mainWindow[int(measure)]; }
    QPoint angleWindowPosition() const override { return {s.WALEFT, s.WATOP}; }
    bool angleWindowVisible() const override { return s.WANGLE == 1; }
    QPoint locatorWindowPosition() const override { return {s.WLLEFT, s.WLTOP}; }
    bool locatorWindowVisible() const override { return s.WLOC == 1; }
    QString angleText() const override { return s.ANGLE; }
    bool userChangedInterface() const override { return interfaceChanged; }
    bool userChangedPort(int rotatorInterface) const override { return portChanged[rotatorInterface]; }
};

Settings settingsIn(const QString &directory)
{
    Settings s;
    s.ExeDir = directory;
    s.ConfigPath = directory + "/Torvanel.ini";
    s.BackupPath = directory + "/Torvanel.~in";
    return s;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool hasWriteBit(const QString &path)
{
    // The "user" bits say what this process may do, and root may always write.
    return QFile::permissions(path) & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther);
}

QByteArrayList fileLines(const QByteArray &bytes)
{
    QByteArrayList lines = bytes.split('\n');
    lines.removeLast(); // after the last CR LF
    for (QByteArray &line : lines)
        line.chop(1);
    return lines;
}

QByteArray lineOf(const QByteArray &bytes, const QByteArray &key)
{
    for (const QByteArray &line : fileLines(bytes)) {
        if (line.startsWith(key + '='))
            return line;
    }
    return QByteArray();
}

QString number(long double value)
{
    return QString::number(double(value), 'g', 10);
}

// What a reader row looks at after the lines were applied.
using Probe = std::function<QString(const Settings &, const RecordingTarget &,
                                    const QList<SkippedLine> &)>;

const QHash<QString, Probe> &probes()
{
    static const QHash<QString, Probe> table = [] {
        QHash<QString, Probe> p;
        const auto integer = [](int Settings::*member) {
            return Probe([member](const Settings &s, const RecordingTarget &,
                                  const QList<SkippedLine> &) { return QString::number(s.*member); });
        };
        const auto real = [](long double Settings::*member) {
            return Probe([member](const Settings &s, const RecordingTarget &,
                                  const QList<SkippedLine> &) { return number(s.*member); });
        };
        const auto baud = [](BaudSetting Settings::*member) {
            return Probe([member](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
                return (s.*member).text + ' ' + QString::number((s.*member).BaudIndex);
            });
        };
        p["ANT"] = integer(&Settings::ANT);
        p["LPT_POURSAT"] = integer(&Settings::LPT_POURSAT);
        p["LPT_FODTRACK"] = integer(&Settings::LPT_FODTRACK);
        p["STOP_GS232"] = integer(&Settings::STOP_GS232);
        p["STEP_GS232"] = integer(&Settings::STEP_GS232);
        p["STEP_PROSISTEL"] = integer(&Settings::STEP_PROSISTEL);
        p["AZOFFSET_GS"] = integer(&Settings::AZOFFSET_GS);
        p["PORT_GS232"] = integer(&Settings::PORT_GS232);
        p["PORT_EGIS"] = integer(&Settings::PORT_EGIS);
        p["PARKING"] = integer(&Settings::PARKING);
        p["WLEFT"] = integer(&Settings::WLEFT);
        p["WALEFT"] = integer(&Settings::WALEFT);
        p["WATOP"] = integer(&Settings::WATOP);
        p["WANGLE"] = integer(&Settings::WANGLE);
        p["CALAZ_POURSAT"] = real(&Settings::CALAZ_POURSAT);
        p["CALAZ_FODTRACK"] = real(&Settings::CALAZ_FODTRACK);
        p["ZERO_FODTRACK"] = real(&Settings::ZERO_FODTRACK);
        p["AZIMUT_PARKING"] = real(&Settings::AZIMUT_PARKING);
        p["BAUD_GS232"] = baud(&Settings::BAUD_GS232);
        p["BAUD_TRAKBOX"] = baud(&Settings::BAUD_TRAKBOX);
        p["steps"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return QString("%1,%2").arg(s.STEP_GS232).arg(s.STEP_EGIS);
        };
        p["N1MM"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return QString("%1 %2 / %3 %4").arg(s.PORTN1MM).arg(s.N1mmPort).arg(s.ANTN1MM).arg(s.N1mmAntenna);
        };
        p["JINGLE"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return QString(s.JINGLE ? "on" : "off");
        };
        p["rotctld"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return QString("%1 %2 %3").arg(s.ROTCTLD ? "on" : "off").arg(s.ROTCTLDPORT).arg(s.ROTCTLDALL ? "all" : "local");
        };
        p["heading"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return QString("%1 %2 [%3] [%4]").arg(s.N1MMHEADING ? "on" : "off").arg(s.N1MMHEADINGPORT)
                .arg(s.N1MMHEADINGHOST, s.N1MMROTOR);
        };
        p["PST"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return QString("%1 %2 %3").arg(s.PSTUDP ? "on" : "off").arg(s.PSTUDPPORT).arg(s.PSTUDPALL ? "all" : "local");
        };
        p["MYLOCATOR"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return s.MYLOCATOR;
        };
        p["Hamlib"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return QString("%1 COM%2 [%3] [%4] %5 %6 %7 %8")
                .arg(s.HAMLIB_MODEL).arg(s.PORT_HAMLIB + 1).arg(s.BAUD_HAMLIB.text, s.HAMLIB_DEVICE)
                .arg(s.STEP_HAMLIB).arg(s.AZOFFSET_HAMLIB).arg(stopLetter(s.STOP_HAMLIB)).arg(s.HAMLIB_POLL);
        };
        p["MOVENOW"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return s.MOVENOW;
        };
        p["ANGLE"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return s.ANGLE + (s.AnglePending ? " pending" : "");
        };
        p["FAV1TXT"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return s.FAVTXT[0];
        };
        p["FAV2AZ"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return QString::number(s.FAVAZ[1]);
        };
        p["favourite 3"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return s.FAVTXT[2] + '|' + QString::number(s.FAVAZ[2]);
        };
        p["calls"] = [](const Settings &, const RecordingTarget &t, const QList<SkippedLine> &) {
            return t.calls.join("; ");
        };
        p["suppress"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            return QString::number(s.SuppressListenerStart);
        };
        // The interfaces whose travel is not one turn from north.
        p["travel"] = [](const Settings &s, const RecordingTarget &, const QList<SkippedLine> &) {
            QStringList travels;
            for (int each = 0; each < InterfaceCount; ++each) {
                if (s.travel(each) != Travel{})
                    travels << QString("%1 %2..%3").arg(interfaceKeyWord(each)).arg(s.AZMIN[each]).arg(s.AZMAX[each]);
            }
            return travels.join(", ");
        };
        p["skipped"] = [](const Settings &, const RecordingTarget &, const QList<SkippedLine> &skipped) {
            QStringList numbers;
            for (const SkippedLine &line : skipped)
                numbers << QString::number(line.number);
            return numbers.join(',');
        };
        return p;
    }();
    return table;
}

// The settings file as the program writes it, with a name beyond ASCII.
QString canonicalText()
{
    return fromWindows1252(fullSample).replace("FAV1TXT=Home", QString::fromUtf8("FAV1TXT=Café"));
}

QByteArray inEncoding(const QString &text, QStringConverter::Encoding encoding, bool mark = false)
{
    QStringEncoder encoder(encoding, mark ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

// Reads the bytes as the program does at start and writes them as it does at exit.
QByteArray rewritten(const QByteArray &file, QList<SkippedLine> *skipped = nullptr, Settings *read = nullptr)
{
    Settings s;
    RecordingTarget target(s);
    StoredChoices stored;
    const LinesRead lines = readConfiguration(file, s, target, stored);
    if (skipped)
        *skipped = lines.skipped;
    if (read)
        *read = s;
    return configurationText(s, target, stored);
}

// What a call writes to standard error.
QByteArray standardErrorOf(const std::function<void()> &call)
{
    QTemporaryFile capture;
    if (!capture.open())
        return QByteArray();
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(capture.handle(), STDERR_FILENO);
    call();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
}

// Reads, writes, reads the written bytes and writes again: the two writings must agree.
void checkFixedPoint(const QByteArray &input)
{
    Settings first;
    RecordingTarget firstTarget(first);
    StoredChoices firstStored;
    readConfiguration(input, first, firstTarget, firstStored);
    const QByteArray once = configurationText(first, firstTarget, firstStored);

    Settings second;
    RecordingTarget secondTarget(second);
    StoredChoices secondStored;
    QVERIFY(readConfiguration(once, second, secondTarget, secondStored).skipped.isEmpty());
    QCOMPARE(configurationText(second, secondTarget, secondStored), once);
}

} // namespace

class TestConfiguration : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void readerRules_data();
    void readerRules();
    void firstSaveWritesSampleLines();
    void everyLineInOrder();
    void hamlibLeavesTheRestAsItWas();
    void parkingAzimuthRounding_data();
    void parkingAzimuthRounding();
    void floatFormat_data();
    void floatFormat();
    void veriDec_data();
    void veriDec();
    void localeRoundTrip_data();
    void localeRoundTrip();
    void codePage_data();
    void codePage();
    void everyByteSurvives();
    void favouriteNameIn8Bits();
    void readOnlyFileReplaced();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void storedChoices_data();
    void storedChoices();
    void loadReportsSkippedLines();
    void unreadableFile_data();
    void unreadableFile();
    void fileForms_data();
    void fileForms();
    void hostileContent_data();
    void hostileContent();
    void inputForms_data();
    void inputForms();
    void roundTrip_data();
    void roundTrip();
    void refusedPaths_data();
    void refusedPaths();
    void halfUnderstood_data();
    void halfUnderstood();
};

void TestConfiguration::readerRules_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("probe");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("driverRequired");
    QTest::addColumn<bool>("driverPresent");
    const auto row = [](const char *tag, const QByteArray &file, const QString &probe,
                        const QString &expected, bool required = true, bool present = true) {
        QTest::newRow(tag) << file << probe << expected << required << present;
    };

    // Lines and keys.
    row("line starting with = skipped", "=ANT=EGIS", "ANT", "-1");
    row("keys in any case", "ant=EGIS", "ANT", "10");
    row("blanks around =", " ANT \t=  EGIS ", "ANT", "10");
    row("headers and unknown keys not reported", "[TORVANEL  V2.4.1DX]\r\n[GS-232]=x\r\nNOKEY=1\r\nplain", "skipped", "");
    row("value runs to the end of the line", "FAV1TXT=a=b c ", "FAV1TXT", "a=b c ");
    row("CR alone ends a line", "STEP_GS232=2\rSTEP_EGIS=3", "steps", "2,3");
    row("LF alone ends a line", "STEP_GS232=2\nSTEP_EGIS=3", "steps", "2,3");
    row("LF CR is two line ends", "WTOP=x\n\rWTOP=y", "skipped", "1,3");
    row("last line without its end", "STEP_GS232=2\r\nSTEP_EGIS=3", "steps", "2,3");
    row("reading goes on after a bad line", "WTOP=x\r\nFAV2AZ=5\r\nWLEFT=y", "FAV2AZ", "5");
    row("bad lines counted from 1", "WTOP=x\r\nFAV2AZ=5\r\nWLEFT=y", "skipped", "1,3");
    row("8-bit characters are Windows-1252", "FAV1TXT=\x80 \x9c \x92 \xe9", "FAV1TXT",
        QString::fromUtf8("€ œ ’ é"));

    row("LANGUAGE=FRENCH clicks French", "LANGUAGE=FRENCH", "calls", "language FRENCH");
    row("LANGUAGE=ENGLISH clicks English", "LANGUAGE=ENGLISH", "calls", "language ENGLISH");
    row("LANGUAGE other ignored", "LANGUAGE=french", "calls", "");
    row("AUTO=1 presses AUTO", "AUTO=1", "calls", "auto");
    row("every AUTO=1 presses again", "AUTO=1\r\nAUTO=1", "calls", "auto; auto");
    row("AUTO other ignored", "AUTO=Y", "calls", "");
    row("SERVER=N1MM without listener start", "SERVER=N1MM", "calls", "server N1MM quiet");
    row("SERVER=N1MM lowers the flag again", "SERVER=N1MM", "suppress", "0");
    row("SERVER=BEAMDX", "SERVER=BEAMDX", "calls", "server BEAMDX");
    row("SERVER=VELMUNDO", "SERVER=VELMUNDO", "calls", "server VELMUNDO");
    row("SERVER other ignored", "SERVER=DDE", "calls", "");

    row("PORTN1MM taken", "PORTN1MM=12345", "N1MM", "12345 12345 / 16 16");
    row("PORTN1MM largest", "PORTN1MM=50000", "N1MM", "50000 50000 / 16 16");
    row("PORTN1MM above the range kept", "PORTN1MM=50001", "N1MM", "12040 12040 / 16 16");
    row("PORTN1MM 0 kept", "PORTN1MM=0", "N1MM", "12040 12040 / 16 16");
    row("PORTN1MM not a number kept", "PORTN1MM=abc", "N1MM", "12040 12040 / 16 16");
    row("PORTN1MM out of range reported", "PORTN1MM=abc\r\nPORTN1MM=70000", "skipped", "1,2");
    row("ANTN1MM taken", "ANTN1MM=1", "N1MM", "12040 12040 / 1 1");
    row("ANTN1MM above 16 kept", "ANTN1MM=17", "N1MM", "12040 12040 / 16 16");
    row("ANTN1MM negative reported", "ANTN1MM=-3", "skipped", "1");

    row("ANT key word", "ANT=EGIS", "ANT", "10");
    row("ANT first interface", "ANT=POURSAT", "ANT", "0");
    row("ANT empty selects none", "ANT=EGIS\r\nANT=", "ANT", "-1");
    row("ANT unknown selects none", "ANT=EGIS\r\nANT=GS-232", "ANT", "-1");

    row("LPT with driver", "LPT_POURSAT=2", "LPT_POURSAT", "1");
    row("LPT driver missing", "LPT_POURSAT=2", "LPT_POURSAT", "-1", true, false);
    row("LPT old system needs no driver", "LPT_POURSAT=2", "LPT_POURSAT", "1", false, false);
    row("LPT 0 is none", "LPT_POURSAT=2\r\nLPT_POURSAT=0", "LPT_POURSAT", "-1");
    row("LPT not a number", "LPT_POURSAT=2\r\nLPT_POURSAT=x", "LPT_POURSAT", "-1");
    row("LPT beyond LPT3", "LPT_POURSAT=2\r\nLPT_POURSAT=4", "LPT_POURSAT", "1");
    row("LPT FODTrack", "LPT_FODTRACK=3", "LPT_FODTRACK", "2");

    row("STOP empty is south", "STOP_GS232=", "STOP_GS232", "1");
    row("STOP lower-case s is south", "STOP_GS232=s", "STOP_GS232", "1");
    row("STOP lower-case n is south", "STOP_GS232=n", "STOP_GS232", "1");
    row("STOP N is north", "STOP_GS232=S\r\nSTOP_GS232=N", "STOP_GS232", "0");
    row("STEP_PROSISTEL read", "STEP_PROSISTEL=3", "STEP_PROSISTEL", "3");
    row("STEP not a number is 1", "STEP_GS232=4\r\nSTEP_GS232=x", "STEP_GS232", "1");
    row("STEP empty is 1", "STEP_GS232=4\r\nSTEP_GS232=", "STEP_GS232", "1");
    row("STEP fallback not reported", "STEP_GS232=x", "skipped", "");
    row("AZOFFSET negative", "AZOFFSET_GS=-12", "AZOFFSET_GS", "-12");
    row("AZOFFSET not a number is 0", "AZOFFSET_GS=5\r\nAZOFFSET_GS=abc", "AZOFFSET_GS", "0");
    row("AZOFFSET beyond the dialog's 30 kept out", "AZOFFSET_GS=5\r\nAZOFFSET_GS=400", "AZOFFSET_GS", "5");
    row("values the dialog refuses are reported",
        "STEP_GS232=6\r\nSTEP_EGIS=-1\r\nAZOFFSET_GS=31\r\nAZOFFSET_EGIS=-2147483648\r\nZERO_POURSAT=90.5\r\n"
        "AZIMUT_PARKING=451\r\nAZIMUT_PARKING=-1\r\nFAV1AZ=-1\r\nLPT_POURSAT=-1\r\nPORT_GS232=-5\r\n"
        "STEP_GS232=5\r\nAZOFFSET_GS=-30\r\nZERO_POURSAT=-90\r\nAZIMUT_PARKING=450\r\nFAV1AZ=359",
        "skipped", "1,2,3,4,5,6,7,8,9,10");

    row("CALAZ with a point", "CALAZ_POURSAT=0.25", "CALAZ_POURSAT", "0.25");
    row("CALAZ with a comma", "CALAZ_POURSAT=0,25", "CALAZ_POURSAT", "0.25");
    row("CALAZ scientific", "CALAZ_FODTRACK=1E-006", "CALAZ_FODTRACK", "1e-06");
    row("CALAZ empty ignored", "CALAZ_POURSAT=", "CALAZ_POURSAT", "0.5138901");
    row("CALAZ empty not reported", "CALAZ_POURSAT=", "skipped", "");
    row("CALAZ not a number kept", "CALAZ_POURSAT=abc", "CALAZ_POURSAT", "0.5138901");
    row("CALAZ not a number reported", "CALAZ_POURSAT=abc", "skipped", "1");
    row("CALAZ comma and point reported", "CALAZ_POURSAT=1,5.2", "skipped", "1");
    row("CALAZ infinite reported", "CALAZ_POURSAT=inf", "skipped", "1");
    row("CALAZ overflow reported", "CALAZ_POURSAT=1e999", "skipped", "1");
    row("ZERO negative with a comma", "ZERO_FODTRACK=-12,5", "ZERO_FODTRACK", "-12.5");

    row("PORT is COM number less one", "PORT_GS232=3", "PORT_GS232", "2");
    row("PORT EGIS", "PORT_EGIS=12", "PORT_EGIS", "11");
    row("PORT not a number", "PORT_GS232=3\r\nPORT_GS232=COM3", "PORT_GS232", "-1");
    row("PORT 0 kept out", "PORT_GS232=3\r\nPORT_GS232=0", "PORT_GS232", "2");
    row("PORT smallest integer", "PORT_GS232=-2147483648", "PORT_GS232", "-1");

    row("BAUD in the table", "BAUD_GS232=9600", "BAUD_GS232", "9600 6");
    row("BAUD in the table applied", "BAUD_GS232=9600", "calls", "baud GS232 9600");
    row("BAUD outside the table kept as text", "BAUD_TRAKBOX=1234", "BAUD_TRAKBOX", "1234 0");
    row("BAUD outside the table not applied", "BAUD_TRAKBOX=1234", "calls", "");
    row("BAUD empty ignored", "BAUD_GS232=", "BAUD_GS232", "4800 0");

    row("EL_GS232 key alone turns it on", "EL_GS232=N", "calls", "EL_GS232");
    row("EL_GS232 empty turns it on", "EL_GS232=", "calls", "EL_GS232");
    row("TKB_HOST=Y", "TKB_HOST=Y", "calls", "TKB_HOST");
    row("TKB_HOST lower-case y", "TKB_HOST=y", "calls", "");
    row("TKB_HOST=N", "TKB_HOST=N", "calls", "");
    row("MOVENOW unchanged", "MOVENOW=/opt/kct/ ", "MOVENOW", "/opt/kct/ ");
    row("MOVENOW empty", "MOVENOW=", "MOVENOW", "");

    row("AZIMUT_PARKING float", "AZIMUT_PARKING=182.5", "AZIMUT_PARKING", "182.5");
    row("AZIMUT_PARKING no comma normalisation", "AZIMUT_PARKING=182,5", "AZIMUT_PARKING", "0");
    row("AZIMUT_PARKING comma reported", "AZIMUT_PARKING=182,5", "skipped", "1");
    row("AZIMUT_PARKING empty reported", "AZIMUT_PARKING=", "skipped", "1");
    row("AZIMUT_PARKING beyond an int reported", "AZIMUT_PARKING=3e9", "skipped", "1");
    row("PARKING key word", "PARKING=GS232", "PARKING", "4");
    row("PARKING unknown leaves it", "PARKING=EGIS\r\nPARKING=NONE", "PARKING", "11");
    row("PARKING empty leaves it", "PARKING=EGIS\r\nPARKING=", "PARKING", "11");
    row("JINGLE=1", "JINGLE=1", "JINGLE", "on");
    row("JINGLE not turned off", "JINGLE=1\r\nJINGLE=0", "JINGLE", "on");
    row("JINGLE other", "JINGLE=yes", "JINGLE", "off");
    row("rotctld defaults", "JINGLE=1", "rotctld", "off 4533 local");
    row("rotctld on, port, other computers", "ROTCTLD=1\r\nROTCTLDPORT=4600\r\nROTCTLDALL=1", "rotctld", "on 4600 all");
    row("ROTCTLD other", "ROTCTLD=yes\r\nROTCTLDALL=0", "rotctld", "off 4533 local");
    row("ROTCTLDPORT highest", "ROTCTLDPORT=65535", "rotctld", "off 65535 local");
    row("ROTCTLDPORT 0 kept out", "ROTCTLDPORT=0", "rotctld", "off 4533 local");
    row("ROTCTLDPORT above 65535 reported", "ROTCTLDPORT=65536", "skipped", "1");
    row("ROTCTLDPORT not a number reported", "ROTCTLDPORT=abc", "skipped", "1");
    row("PST defaults", "ROTCTLD=1", "PST", "off 12000 local");
    row("PST on, port, other computers", "PSTUDP=1\r\nPSTUDPPORT=12010\r\nPSTUDPALL=1", "PST", "on 12010 all");
    row("PSTUDPPORT 0 reported", "PSTUDPPORT=0", "skipped", "1");
    row("heading defaults", "PSTUDP=1", "heading", "off 13010 [] []");
    row("heading on, port, address, rotor",
        "N1MMHEADING=1\r\nN1MMHEADINGPORT=13011\r\nN1MMHEADINGHOST=10.0.0.2\r\nN1MMROTOR=Tri band", "heading",
        "on 13011 [10.0.0.2] [Tri band]");
    row("MYLOCATOR in its usual writing", "MYLOCATOR=jn18DU", "MYLOCATOR", "JN18du");
    row("MYLOCATOR that is no locator reported", "MYLOCATOR=JN18d\r\nMYLOCATOR=ZZ00", "skipped", "1,2");

    row("WLEFT moves the window", "WLEFT=100\r\nWTOP=-20\r\nWWIDTH=500\r\nWHEIGHT=60", "calls",
        "window Left 100; window Top -20; window Width 500; window Height 60");
    row("WLEFT kept in the settings", "WLEFT=100", "WLEFT", "100");
    row("WHEIGHT not a number moves nothing", "WHEIGHT=x", "calls", "");
    row("WHEIGHT empty reported", "WHEIGHT=", "skipped", "1");
    row("WALEFT", "WALEFT=12", "WALEFT", "12");
    row("WATOP not a number reported", "WATOP=abc", "skipped", "1");
    row("WATOP not a number kept", "WATOP=7\r\nWATOP=abc", "WATOP", "7");
    row("WANGLE", "WANGLE=1", "WANGLE", "1");
    row("WANGLE empty reported", "WANGLE=", "skipped", "1");
    row("ANGLE non-zero integer", "ANGLE=45", "ANGLE", "45 pending");
    row("ANGLE negative", "ANGLE=-90", "ANGLE", "-90 pending");
    row("ANGLE 0 ignored", "ANGLE=0", "ANGLE", "");
    row("ANGLE fraction ignored", "ANGLE=4.5", "ANGLE", "");
    row("ANGLE fraction not reported", "ANGLE=4.5", "skipped", "");

    row("FAV3TXT empty name and caption", "FAV3TXT=", "calls", "caption 3 []");
    row("FAV3 name and azimuth", "FAV3TXT=Japan\r\nFAV3AZ=33", "favourite 3", "Japan|33");
    row("FAV azimuth beyond 359 kept out", "FAV2AZ=12\r\nFAV2AZ=360", "FAV2AZ", "12");
    row("FAV azimuth not a number reported", "FAV2AZ=x", "skipped", "1");

    row("no Hamlib lines: dummy model, read back five times a second", "ANT=EGIS", "Hamlib", "1 COM0 [] [] 1 0 N 200");
    row("Hamlib lines", "HAMLIB_MODEL=603\r\nPORT_HAMLIB=4\r\nBAUD_HAMLIB=1200\r\nHAMLIB_DEVICE=h:1\r\n"
        "STEP_HAMLIB=3\r\nAZOFFSET_HAMLIB=-2\r\nSTOP_HAMLIB=S\r\nHAMLIB_POLL=0", "Hamlib", "603 COM4 [1200] [h:1] 3 -2 S 0");
    row("Hamlib model from 1, period from 0", "HAMLIB_MODEL=0\r\nHAMLIB_POLL=-1\r\nHAMLIB_MODEL=x", "skipped",
        "1,2,3");
    row("ANT=HAMLIB", "ANT=HAMLIB", "ANT", QString::number(Hamlib));

    row("travels past a turn", "AZMAX_GS232=450\r\nazmin_hamlib = -180\r\nAZMAX_HAMLIB=450", "travel",
        "GS232 0..450, HAMLIB -180..450");
    row("a travel the command cannot carry is refused whole, where it stands",
        "AZMIN_EASYCOMM=0\r\nWTOP=x\r\nAZMAX_EASYCOMM=450\r\nAZMIN_GS232=-180\r\nAZMAX_GS232=180", "skipped",
        "1,2,3,4,5");
    row("nothing of a refused travel is kept", "AZMAX_GS232=300\r\nAZMAX_EGIS=450\r\nAZMIN_HAMLIB=-400", "travel", "");
    row("one end unreadable refuses the other",
        "AZMIN_GS232=-1000\r\nAZMAX_GS232=450\r\nAZMAX_HAMLIB=x\r\nAZMIN_HAMLIB=-90", "skipped", "1,2,3,4");
    row("PARKING=HAMLIB", "PARKING=HAMLIB", "PARKING", QString::number(Hamlib + 1));
}

void TestConfiguration::readerRules()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, probe);
    QFETCH(QString, expected);
    QFETCH(bool, driverRequired);
    QFETCH(bool, driverPresent);

    Settings s;
    s.PortDriverRequired = driverRequired;
    s.PortDriverPresent = driverPresent;
    RecordingTarget target(s);
    StoredChoices stored;
    const QList<SkippedLine> skipped = readConfiguration(file, s, target, stored).skipped;
    QVERIFY2(probes().contains(probe), qPrintable(probe));
    QCOMPARE(probes().value(probe)(s, target, skipped), expected);
}

void TestConfiguration::firstSaveWritesSampleLines()
{
    QTemporaryDir dir;
    Settings s = settingsIn(dir.path());
    RecordingTarget target(s);
    platform::ScopedRecordingUi ui;
    QVERIFY(save_configuration(s, target, StoredChoices()));

    const QByteArray written = fileBytes(s.ConfigPath);
    QCOMPARE(written.left(firstStartSample.size()), firstStartSample);
    QVERIFY(written.endsWith("FAV6TXT=Fav.6\r\nROTCTLDPORT=4533\r\nWLLEFT=0\r\nWLTOP=0\r\n[HAMLIB]\r\nHAMLIB_MODEL=1\r\nBAUD_HAMLIB=\r\n"
                             "HAMLIB_DEVICE=\r\nSTEP_HAMLIB=1\r\nAZOFFSET_HAMLIB=0\r\nSTOP_HAMLIB=N\r\n"
                             "HAMLIB_POLL=200\r\nPSTUDPPORT=12000\r\nN1MMHEADINGPORT=13010\r\n"));
    QVERIFY(!QFile::exists(s.BackupPath));
    QVERIFY(!hasWriteBit(s.ConfigPath));
    QVERIFY(ui->messages.isEmpty());
}

void TestConfiguration::everyLineInOrder()
{
    Settings s;
    RecordingTarget target(s);
    target.shownLanguage = Language::French;
    target.autoState = true;
    target.shownServer = AzimuthServer::N1MM;
    target.elevation = true;
    target.host = true;
    target.mainWindow = {10, 20, 500, 60};
    target.interfaceChanged = true;
    target.portChanged.fill(true);
    target.portItems[GS232] = "COM3";
    target.portItems[EasyComm] = "COM12";
    target.portItems[ProSisTel] = "COM1";
    target.portItems[TrakBox] = "COM4";
    target.portItems[EGIS] = "COM20";
    s.PORTN1MM = "12041";
    s.ANTN1MM = "3";
    s.ANT = GS232;
    s.LPT_POURSAT = 1;
    s.STOP_POURSAT = SouthStop;
    s.STEP_POURSAT = 3;
    s.CALAZ_POURSAT = 1234.5678L;
    s.ZERO_POURSAT = -0.000001L;
    s.CALAZ_FODTRACK = 12345678;
    s.ZERO_FODTRACK = 0.5L;
    s.STOP_EA4TX = SouthStop;
    s.STEP_EA4TX = 0;
    s.BAUD_GS232.text = "9600";
    s.STOP_GS232 = SouthStop;
    s.STEP_GS232 = 2;
    s.AZOFFSET_GS = -30;
    s.BAUD_EASYCOMM.text = "19200";
    s.AZOFFSET_EASY = 5;
    s.BAUD_DCU1.text = "2400";
    s.STEP_DCU1 = 4;
    s.STOP_PROSISTEL = SouthStop;
    s.BAUD_TRAKBOX.text = "1234";
    s.AZOFFSET_TKB = 1;
    s.STOP_M2ORION = SouthStop;
    s.STEP_EGIS = 5;
    s.STOP_KCT = SouthStop;
    s.MOVENOW = "/opt/kct/";
    s.AZIMUT_PARKING = 182.5L;
    s.PARKING = GS232 + 1;
    s.JINGLE = true;
    s.WALEFT = 600;
    s.WATOP = 700;
    s.WANGLE = 1;
    s.ANGLE = "123";
    s.FAVAZ = {10, 20, 30, 40, 50, 359};
    s.FAVTXT = {"W", "JA", "VK", "ZL", "PY", "KH6"};
    s.ROTCTLD = true;
    s.ROTCTLDPORT = 4600;
    s.ROTCTLDALL = true;
    s.MYLOCATOR = "FN31pr";
    s.WLLEFT = 800;
    s.WLTOP = 900;
    s.WLOC = 1;
    target.portItems[Hamlib] = "COM7";
    s.HAMLIB_MODEL = 603;
    s.BAUD_HAMLIB.text = "9600";
    s.HAMLIB_DEVICE = "shack:4533";
    s.STEP_HAMLIB = 2;
    s.AZOFFSET_HAMLIB = -4;
    s.STOP_HAMLIB = SouthStop;
    s.HAMLIB_POLL = 250;
    s.PSTUDP = true;
    s.PSTUDPPORT = 12010;
    s.PSTUDPALL = true;
    s.N1MMHEADING = true;
    s.N1MMHEADINGPORT = 13011;
    s.N1MMHEADINGHOST = "192.168.1.20";
    s.N1MMROTOR = "Tribander";
    s.AZMAX[GS232] = 450;
    s.AZMIN[Hamlib] = -180;
    s.AZMAX[Hamlib] = 450;

    const QByteArray expected = "[TORVANEL  V2.4.1DX]\r\n"
                                "LANGUAGE=FRENCH\r\nAUTO=1\r\nSERVER=N1MM\r\nPORTN1MM=12041\r\n"
                                "ANTN1MM=3\r\nANT=GS232\r\n"
                                "[POURSAT]\r\nLPT_POURSAT=2\r\nSTOP_POURSAT=S\r\nSTEP_POURSAT=3\r\n"
                                "CALAZ_POURSAT=1234.568\r\nZERO_POURSAT=-1E-006\r\n"
                                "[FODTRACK]\r\nLPT_FODTRACK=0\r\nSTOP_FODTRACK=N\r\nSTEP_FODTRACK=1\r\n"
                                "CALAZ_FODTRACK=1.234568E007\r\nZERO_FODTRACK=0.5\r\n"
                                "[EA4TX]\r\nSTOP_EA4TX=S\r\nSTEP_EA4TX=0\r\n"
                                "[GS-232]\r\nPORT_GS232=3\r\nBAUD_GS232=9600\r\nSTOP_GS232=S\r\n"
                                "STEP_GS232=2\r\nAZOFFSET_GS=-30\r\nEL_GS232=Y\r\n"
                                "[EASYCOMM]\r\nPORT_EASYCOMM=12\r\nBAUD_EASYCOMM=19200\r\n"
                                "STOP_EASYCOMM=N\r\nAZOFFSET_EASY=5\r\nSTEP_EASYCOMM=1\r\n"
                                "[DCU-1]\r\nBAUD_DCU1=2400\r\nSTOP_DCU1=N\r\nAZOFFSET_DCU1=0\r\n"
                                "STEP_DCU1=4\r\n"
                                "[PROSISTEL]\r\nPORT_PROSISTEL=1\r\nSTOP_PROSISTEL=S\r\n"
                                "AZOFFSET_PROSISTEL=0\r\nSTEP_PROSISTEL=1\r\n"
                                "[TRAKBOX]\r\nPORT_TRAKBOX=4\r\nBAUD_TRAKBOX=1234\r\nAZOFFSET_TKB=1\r\n"
                                "STEP_TRAKBOX=1\r\nTKB_HOST=Y\r\n"
                                "[M2ORION]\r\nSTOP_M2ORION=S\r\nAZOFFSET_M2ORION=0\r\nSTEP_M2ORION=1\r\n"
                                "[EGIS]\r\nPORT_EGIS=20\r\nSTOP_EGIS=N\r\nAZOFFSET_EGIS=0\r\nSTEP_EGIS=5\r\n"
                                "[KCT]\r\nSTOP_KCT=S\r\nAZOFFSET_KCT=0\r\nSTEP_KCT=1\r\nMOVENOW=/opt/kct/\r\n"
                                "AZIMUT_PARKING=182\r\nPARKING=GS232\r\nJINGLE=1\r\n"
                                "WLEFT=10\r\nWTOP=20\r\nWWIDTH=500\r\nWHEIGHT=60\r\n"
                                "WALEFT=600\r\nWATOP=700\r\nWANGLE=1\r\nANGLE=123\r\n"
                                "FAV1AZ=10\r\nFAV1TXT=W\r\nFAV2AZ=20\r\nFAV2TXT=JA\r\n"
                                "FAV3AZ=30\r\nFAV3TXT=VK\r\nFAV4AZ=40\r\nFAV4TXT=ZL\r\n"
                                "FAV5AZ=50\r\nFAV5TXT=PY\r\nFAV6AZ=359\r\nFAV6TXT=KH6\r\n"
                                "ROTCTLD=1\r\nROTCTLDPORT=4600\r\nROTCTLDALL=1\r\n"
                                "MYLOCATOR=FN31pr\r\nWLLEFT=800\r\nWLTOP=900\r\nWLOC=1\r\n"
                                "[HAMLIB]\r\nHAMLIB_MODEL=603\r\nPORT_HAMLIB=7\r\nBAUD_HAMLIB=9600\r\n"
                                "HAMLIB_DEVICE=shack:4533\r\nSTEP_HAMLIB=2\r\nAZOFFSET_HAMLIB=-4\r\n"
                                "STOP_HAMLIB=S\r\nHAMLIB_POLL=250\r\n"
                                "PSTUDP=1\r\nPSTUDPPORT=12010\r\nPSTUDPALL=1\r\n"
                                "N1MMHEADING=1\r\nN1MMHEADINGPORT=13011\r\nN1MMHEADINGHOST=192.168.1.20\r\n"
                                "N1MMROTOR=Tribander\r\n"
                                "AZMIN_GS232=0\r\nAZMAX_GS232=450\r\nAZMIN_HAMLIB=-180\r\nAZMAX_HAMLIB=450\r\n";
    const QByteArray written = configurationText(s, target, StoredChoices());
    QCOMPARE(fileLines(written), fileLines(expected));
    QCOMPARE(written, expected);
}

// A file that names Hamlib reads every other line as before, and a file written before Hamlib
// reads as it did, with Hamlib's lines added at its end.
void TestConfiguration::hamlibLeavesTheRestAsItWas()
{
    const auto rewritten = [](const QByteArray &file) {
        Settings s;
        RecordingTarget target(s);
        StoredChoices stored;
        readConfiguration(file, s, target, stored);
        return configurationText(s, target, stored);
    };
    const QByteArray withHamlib = QByteArray(fullSample).replace("ANT=GS232", "ANT=HAMLIB")
                                      .replace("PARKING=GS232", "PARKING=HAMLIB");
    QCOMPARE(rewritten(withHamlib), withHamlib);
    const QByteArray beforeHamlib = fullSample.left(fullSample.indexOf("[HAMLIB]"));
    QCOMPARE(rewritten(beforeHamlib), fullSample);
}

void TestConfiguration::parkingAzimuthRounding_data()
{
    QTest::addColumn<double>("azimuth");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("half down to even") << 182.5 << QByteArray("AZIMUT_PARKING=182");
    QTest::newRow("half up to even") << 183.5 << QByteArray("AZIMUT_PARKING=184");
    QTest::newRow("nearest") << 359.6 << QByteArray("AZIMUT_PARKING=360");
    QTest::newRow("small negative is 0, not -0") << -0.4 << QByteArray("AZIMUT_PARKING=0");
    QTest::newRow("negative half to even") << -2.5 << QByteArray("AZIMUT_PARKING=-2");
}

void TestConfiguration::parkingAzimuthRounding()
{
    QFETCH(double, azimuth);
    QFETCH(QByteArray, line);
    Settings s;
    RecordingTarget target(s);
    s.AZIMUT_PARKING = azimuth;
    QCOMPARE(lineOf(configurationText(s, target, StoredChoices()), "AZIMUT_PARKING"), line);
}

void TestConfiguration::floatFormat_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("comma");
    QTest::addColumn<QString>("text");
    QTest::newRow("PourSat calibration") << 0.5138901 << false << "0.5138901";
    QTest::newRow("FODTrack calibration") << 0.711 << false << "0.711";
    QTest::newRow("zero") << 0.0 << false << "0";
    QTest::newRow("comma locale") << 0.5138901 << true << "0,5138901";
    QTest::newRow("7 significant digits") << 123.4567891 << false << "123.4568";
    QTest::newRow("negative") << -2.5 << false << "-2.5";
    QTest::newRow("7 digits before the point") << 1234567.0 << false << "1234567";
    QTest::newRow("8 digits before the point") << 12345678.0 << false << "1.234568E007";
    QTest::newRow("rounding up to 8 digits") << 9999999.6 << false << "1E007";
    QTest::newRow("smallest fixed") << 0.00001 << false << "0.00001";
    QTest::newRow("rounding up to smallest fixed") << 0.0000099999999 << false << "0.00001";
    QTest::newRow("below the smallest fixed") << 0.000001 << false << "1E-006";
    QTest::newRow("scientific with comma") << -0.0000012345 << true << "-1,2345E-006";
    QTest::newRow("long exponent") << 1e-300 << false << "1E-300";
    QTest::newRow("largest") << 1.7976931348623157e308 << false << "1.797693E308";
}

void TestConfiguration::floatFormat()
{
    QFETCH(double, value);
    QFETCH(bool, comma);
    QFETCH(QString, text);
    if (comma)
        QLocale::setDefault(QLocale(QLocale::French));
    QCOMPARE(formatFloat(value), text);
}

void TestConfiguration::veriDec_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("comma");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("comma to point") << "0,5" << false << "0.5";
    QTest::newRow("point to comma") << "0.5" << true << "0,5";
    QTest::newRow("point stays point") << "0.5" << false << "0.5";
    QTest::newRow("no separator") << "12" << true << "12";
    QTest::newRow("first of several") << "1,2,3" << false << "1.2,3";
    QTest::newRow("both left alone") << "1,2.3" << false << "1,2.3";
}

void TestConfiguration::veriDec()
{
    QFETCH(QString, text);
    QFETCH(bool, comma);
    QFETCH(QString, normalised);
    if (comma)
        QLocale::setDefault(QLocale(QLocale::French));
    QCOMPARE(VeriDec(text), normalised);
}

void TestConfiguration::localeRoundTrip_data()
{
    QTest::addColumn<QLocale>("writing");
    QTest::addColumn<QLocale>("reading");
    QTest::addColumn<QByteArray>("calibrationLine");
    const QLocale point(QLocale::English, QLocale::UnitedStates);
    const QLocale comma(QLocale::French);
    QTest::newRow("comma written, point read") << comma << point << QByteArray("CALAZ_POURSAT=0,5138901");
    QTest::newRow("point written, comma read") << point << comma << QByteArray("CALAZ_POURSAT=0.5138901");
    QTest::newRow("comma written, comma read") << comma << comma << QByteArray("CALAZ_POURSAT=0,5138901");
    QTest::newRow("German written, point read") << QLocale(QLocale::German) << point
                                                << QByteArray("CALAZ_POURSAT=0,5138901");
    // Their separator U+066B is not in Windows-1252.
    QTest::newRow("Arabic written, Arabic read") << QLocale(QLocale::Arabic, QLocale::Egypt)
                                                 << QLocale(QLocale::Arabic, QLocale::Egypt)
                                                 << QByteArray("CALAZ_POURSAT=0.5138901");
    QTest::newRow("Persian written, comma read") << QLocale(QLocale::Persian, QLocale::Iran) << comma
                                                 << QByteArray("CALAZ_POURSAT=0.5138901");
}

void TestConfiguration::localeRoundTrip()
{
    QFETCH(QLocale, writing);
    QFETCH(QLocale, reading);
    QFETCH(QByteArray, calibrationLine);
    QTemporaryDir dir;
    platform::ScopedRecordingUi ui;

    QLocale::setDefault(writing);
    Settings written = settingsIn(dir.path());
    RecordingTarget writer(written);
    written.ZERO_POURSAT = -12.25L;
    written.CALAZ_FODTRACK = 1234.567L;
    written.ZERO_FODTRACK = 0.000001L;
    written.AZIMUT_PARKING = 90;
    QVERIFY(save_configuration(written, writer, StoredChoices()));
    QCOMPARE(lineOf(fileBytes(written.ConfigPath), "CALAZ_POURSAT"), calibrationLine);

    QLocale::setDefault(reading);
    Settings read = settingsIn(dir.path());
    read.CALAZ_POURSAT = read.ZERO_POURSAT = read.CALAZ_FODTRACK = read.ZERO_FODTRACK = 7;
    RecordingTarget reader(read);
    const ConfigurationReading result = load_configuration(read, reader);
    QCOMPARE(result.error, QString());
    QCOMPARE(result.skippedLines.size(), 0);
    QCOMPARE(double(read.CALAZ_POURSAT), 0.5138901);
    QCOMPARE(double(read.ZERO_POURSAT), -12.25);
    QCOMPARE(double(read.CALAZ_FODTRACK), 1234.567);
    QCOMPARE(double(read.ZERO_FODTRACK), 0.000001);
    QCOMPARE(double(read.AZIMUT_PARKING), 90.0);
}

void TestConfiguration::codePage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ASCII") << "Fav.1" << QByteArray("Fav.1");
    QTest::newRow("euro and oe") << QString::fromUtf8("€œ") << QByteArray("\x80\x9c");
    QTest::newRow("quotes and dashes") << QString::fromUtf8("‘’“”–—…") << QByteArray("\x91\x92\x93\x94\x96\x97\x85");
    QTest::newRow("Latin-1 upper half") << QString::fromUtf8("éàçÿ\u00a0") << QByteArray("\xe9\xe0\xe7\xff\xa0");
    QTest::newRow("undefined bytes as controls") << QString(QChar(0x81)) + QChar(0x9d) << QByteArray("\x81\x9d");
}

void TestConfiguration::codePage()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(toWindows1252(text), bytes);
    QCOMPARE(fromWindows1252(bytes), text);
}

void TestConfiguration::everyByteSurvives()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    QCOMPARE(toWindows1252(fromWindows1252(bytes)), bytes);
    // Characters the code page lacks: one "?" each, even beyond 16 bits.
    QCOMPARE(toWindows1252(QString::fromUtf8("A\u0100\u0080\U0001F600B")), QByteArray("A???B"));
}

void TestConfiguration::favouriteNameIn8Bits()
{
    QTemporaryDir dir;
    platform::ScopedRecordingUi ui;
    Settings written = settingsIn(dir.path());
    RecordingTarget writer(written);
    written.FAVTXT[0] = QString::fromUtf8("Cœur 5€");
    QVERIFY(save_configuration(written, writer, StoredChoices()));
    QCOMPARE(lineOf(fileBytes(written.ConfigPath), "FAV1TXT"), QByteArray("FAV1TXT=C\x9cur 5\x80"));

    Settings read = settingsIn(dir.path());
    RecordingTarget reader(read);
    QCOMPARE(load_configuration(read, reader).error, QString());
    QCOMPARE(read.FAVTXT[0], QString::fromUtf8("Cœur 5€"));
    QVERIFY(reader.calls.contains(QString::fromUtf8("caption 1 [Cœur 5€]")));
}

void TestConfiguration::readOnlyFileReplaced()
{
    QTemporaryDir dir;
    platform::ScopedRecordingUi ui;
    Settings s = settingsIn(dir.path());
    RecordingTarget target(s);
    // A copy left read-only by an earlier run that stopped half-way.
    QVERIFY(writeBytes(s.BackupPath, "stale"));
    QVERIFY(QFile::setPermissions(s.BackupPath, QFile::ReadOwner));

    QVERIFY(save_configuration(s, target, StoredChoices()));
    QVERIFY(!hasWriteBit(s.ConfigPath));
    QVERIFY(!QFile::exists(s.BackupPath));

    s.FAVTXT[5] = "second";
    QVERIFY(save_configuration(s, target, StoredChoices()));
    QCOMPARE(lineOf(fileBytes(s.ConfigPath), "FAV6TXT"), QByteArray("FAV6TXT=second"));
    QVERIFY(!hasWriteBit(s.ConfigPath));
    QVERIFY(QFile::permissions(s.ConfigPath) & QFile::ReadOwner);
    QVERIFY(!QFile::exists(s.BackupPath));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"Torvanel.ini"});
    QVERIFY(ui->messages.isEmpty());
}

void TestConfiguration::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("backup name taken by a directory") << "backup directory";
    QTest::newRow("disk full while writing") << "file size limit";
    QTest::newRow("directory is a file") << "directory is a file";
    QTest::newRow("directory not writable") << "read-only directory";
}

// Root ignores permission bits, so most rows make the write fail in ways that hold for root too:
// a directory where a file must go, a file where the directory must be, and the process's file
// size limit (RLIMIT_FSIZE), which stops the write half-way like a full disk.
void TestConfiguration::failedSaveKeepsOldFile()
{
    QFETCH(QString, obstacle);
    if (obstacle == "read-only directory" && ::geteuid() == 0)
        QSKIP("root writes into a directory without write permission");

    QTemporaryDir dir;
    platform::ScopedRecordingUi ui;
    Settings s = settingsIn(dir.path());
    RecordingTarget target(s);
    const QByteArray old = "[TORVANEL  V2.4.1DX]\r\nANT=EGIS\r\n";
    QVERIFY(writeBytes(s.ConfigPath, old));
    QVERIFY(QFile::setPermissions(s.ConfigPath, QFile::ReadOwner));

    bool saved = true;
    if (obstacle == "backup directory") {
        QVERIFY(QDir().mkpath(s.BackupPath + "/inside"));
        saved = save_configuration(s, target, StoredChoices());
        QVERIFY(QFileInfo(s.BackupPath + "/inside").isDir());
    } else if (obstacle == "file size limit") {
        rlimit limit;
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit lowered = {100, limit.rlim_max};
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
        saved = save_configuration(s, target, StoredChoices());
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, previousHandler);
    } else if (obstacle == "directory is a file") {
        const QString plain = dir.filePath("plain");
        QVERIFY(writeBytes(plain, old));
        Settings inside = settingsIn(plain);
        saved = save_configuration(inside, target, StoredChoices());
        QCOMPARE(fileBytes(plain), old);
    } else {
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        saved = save_configuration(s, target, StoredChoices());
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QVERIFY(!saved);
    QCOMPARE(ui->messages.size(), 1);
    QCOMPARE(ui->messages[0].kind, platform::MessageKind::Error);
    QCOMPARE(ui->messages[0].text, QString("Can't create Torvanel.ini"));
    QCOMPARE(fileBytes(s.ConfigPath), old);
    if (obstacle != "backup directory")
        QVERIFY(!QFileInfo::exists(s.BackupPath));
}

void TestConfiguration::storedChoices_data()
{
    QTest::addColumn<bool>("interfaceChanged");
    QTest::addColumn<int>("changedPort"); // the interface whose port the user picked, or -1
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("dropped at start-up, kept in the file")
        << false << -1 << QByteArrayList {"ANT=GS232", "PORT_GS232=5", "LPT_POURSAT=2"};
    QTest::newRow("user chose another interface")
        << true << -1 << QByteArrayList {"ANT=EGIS", "PORT_GS232=5", "LPT_POURSAT=2"};
    QTest::newRow("user chose another COM port")
        << false << int(GS232) << QByteArrayList {"ANT=GS232", "PORT_GS232=7", "LPT_POURSAT=2"};
    QTest::newRow("user chose another LPT port")
        << false << int(PourSat) << QByteArrayList {"ANT=GS232", "PORT_GS232=5", "LPT_POURSAT=1"};
}

void TestConfiguration::storedChoices()
{
    QFETCH(bool, interfaceChanged);
    QFETCH(int, changedPort);
    QFETCH(QByteArrayList, lines);

    Settings s;
    s.PortDriverPresent = false;
    RecordingTarget target(s);
    StoredChoices stored;
    readConfiguration("ANT=GS232\r\nPORT_GS232=5\r\nLPT_POURSAT=2\r\n", s, target, stored);
    QCOMPARE(s.LPT_POURSAT, -1);
    // The start-up found no COM5: interface and port are dropped, the radio group is empty.
    s.ANT = NoInterface;
    s.PORT_GS232 = -1;

    target.interfaceChanged = interfaceChanged;
    if (interfaceChanged)
        s.ANT = EGIS;
    if (changedPort >= 0) {
        target.portChanged[changedPort] = true;
        target.portItems[GS232] = "COM7";
        s.LPT_POURSAT = 0;
    }
    const QByteArray written = configurationText(s, target, stored);
    QCOMPARE(lineOf(written, "ANT"), lines[0]);
    QCOMPARE(lineOf(written, "PORT_GS232"), lines[1]);
    QCOMPARE(lineOf(written, "LPT_POURSAT"), lines[2]);
}

void TestConfiguration::loadReportsSkippedLines()
{
    QTemporaryDir dir;
    Settings s = settingsIn(dir.path());
    QVERIFY(writeBytes(s.ConfigPath, "[TORVANEL  V2.4.1DX]\r\nWTOP=high\r\nFAV1AZ=12\r\nZERO_POURSAT=1,2.5\r\n"));
    RecordingTarget target(s);
    const ConfigurationReading reading = load_configuration(s, target);
    QCOMPARE(reading.error, QString());
    QCOMPARE(reading.skippedLines.size(), 2);
    QCOMPARE(reading.skippedLines[0].number, 2);
    QCOMPARE(reading.skippedLines[0].text, QString("WTOP=high"));
    QCOMPARE(reading.skippedLines[1].number, 4);
    QCOMPARE(reading.skippedLines[1].text, QString("ZERO_POURSAT=1,2.5"));
    QCOMPARE(s.WTOP, 114);
    QCOMPARE(s.FAVAZ[0], 12);
}

void TestConfiguration::unreadableFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("kept"); // where the refused file went
    QTest::newRow("a directory") << "directory" << "";
    QTest::newRow("1 byte over 1 MiB, kept aside") << "large" << "Torvanel.ini.refused";
    QTest::newRow("refused again, the first copy stays") << "large again" << "Torvanel.ini.refused.2";
    QTest::newRow("a link to a file over the limit") << "link" << "station/mine.ini.refused";
}

void TestConfiguration::unreadableFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, kept);
    QTemporaryDir dir;
    Settings s = settingsIn(dir.path());
    const QByteArray large = "ANT=EGIS\r\n" + QByteArray(largestFile + 1 - 10, 'x');
    QString file = s.ConfigPath;
    if (kind == "directory")
        QVERIFY(QDir().mkpath(s.ConfigPath));
    if (kind == "large again")
        QVERIFY(writeBytes(s.ConfigPath + ".refused", "first"));
    if (kind == "link") {
        file = dir.filePath("station/mine.ini");
        QVERIFY(QDir().mkpath(dir.filePath("station")));
        QVERIFY(QFile::link("station/mine.ini", s.ConfigPath));
    }
    if (!kept.isEmpty())
        QVERIFY(writeBytes(file, large));
    RecordingTarget target(s);
    const ConfigurationReading reading = load_configuration(s, target);
    QVERIFY(reading.error.startsWith((kind == "directory" ? "Can't use " : "Can't read ") + s.ConfigPath));
    QCOMPARE(s.ANT, int(NoInterface));
    QCOMPARE(reading.stored.ANT, int(NoInterface));
    QVERIFY(target.calls.isEmpty());
    if (kept.isEmpty())
        return;
    // Whole, out of the way of the save at exit, and named in the message.
    QVERIFY2(reading.error.contains(dir.filePath(kept)), qPrintable(reading.error));
    QCOMPARE(fileBytes(dir.filePath(kept)), large);
    QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(QFileInfo(s.ConfigPath).isSymLink(), kind == "link");
    if (kind == "large again")
        QCOMPARE(fileBytes(s.ConfigPath + ".refused"), QByteArray("first"));
}

void TestConfiguration::fileForms_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("link");
    const QString lines = QString::fromUtf8("ANT=EGIS\r\nFAV1TXT=Cœur\r\n");
    const auto marked = [&lines](QStringConverter::Encoding encoding) {
        return QByteArray(QStringEncoder(encoding, QStringConverter::Flag::WriteBom)(lines));
    };
    QTest::newRow("UTF-16 LE with its mark") << marked(QStringConverter::Utf16LE) << false;
    QTest::newRow("UTF-16 BE with its mark") << marked(QStringConverter::Utf16BE) << false;
    QTest::newRow("UTF-8 with its mark") << marked(QStringConverter::Utf8) << false;
    QTest::newRow("a link, replaced where it points") << toWindows1252(lines) << true;
    QTest::newRow("a name that would take the written file over the limit")
        << toWindows1252(lines) + "FAV2TXT=" + QByteArray(largestFile - 40, 'x') + "\r\n" << false;
}

// Each is read, written back in Windows-1252 within the reader's limit, and read again.
void TestConfiguration::fileForms()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, link);
    QTemporaryDir dir;
    platform::ScopedRecordingUi ui;
    Settings s = settingsIn(dir.path());
    QString file = s.ConfigPath;
    if (link) {
        file = dir.filePath("station/mine.ini");
        QVERIFY(QDir().mkpath(dir.filePath("station")));
        QVERIFY(QFile::link("station/mine.ini", s.ConfigPath));
    }
    QVERIFY(writeBytes(file, bytes));
    RecordingTarget target(s);
    const ConfigurationReading reading = load_configuration(s, target);
    QCOMPARE(reading.error, QString());
    QCOMPARE(s.ANT, int(EGIS));

    QVERIFY(save_configuration(s, target, reading.stored));
    const QByteArray written = fileBytes(file);
    QCOMPARE(lineOf(written, "FAV1TXT"), QByteArray("FAV1TXT=C\x9cur"));
    QVERIFY(written.size() <= largestFile);
    QCOMPARE(QFileInfo(s.ConfigPath).isSymLink(), link);
    Settings again = settingsIn(dir.path());
    RecordingTarget reader(again);
    QCOMPARE(load_configuration(again, reader).error, QString());
    QCOMPARE(again.ANT, int(EGIS));
}

void TestConfiguration::hostileContent_data()
{
    QTest::addColumn<QByteArray>("input");
    QRandomGenerator random(20240611);
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    for (char &byte : noise)
        byte = char(random.bounded(256));
    QByteArray keyedNoise;
    for (int i = 0; i < 2000; ++i)
        keyedNoise += "FAV" + QByteArray::number(random.bounded(1, 7)) + "TXT=" + noise.mid(i * 16, 16) + "\r\n";
    QByteArray everyByte = "FAV1TXT=";
    for (int i = 0; i < 256; ++i) {
        if (i != '\r' && i != '\n')
            everyByte.append(char(i));
    }

    QTest::newRow("random bytes") << noise;
    QTest::newRow("random favourite names") << keyedNoise;
    QTest::newRow("every byte in a name") << everyByte;
    QTest::newRow("NUL bytes") << QByteArray("ANT=EG\0IS\r\nFAV2TXT=a\0b\r\n\0=1\r\n", 26);
    QTest::newRow("lines without =") << QByteArray("no equals sign here\r\n").repeated(20000);
    QTest::newRow("repeated keys") << QByteArray("AUTO=1\r\nSTEP_GS232=3\r\nLANGUAGE=FRENCH\r\n").repeated(5001);
    QTest::newRow("CR only") << QByteArray("ANT=EGIS\rPORT_EGIS=4\rCALAZ_POURSAT=1,5\r");
    QTest::newRow("LF only") << QByteArray("ANT=EGIS\nPORT_EGIS=4\nAZIMUT_PARKING=2147483647.4\n");
    QTest::newRow("nothing but line ends") << QByteArray("\r\n\n\r\r").repeated(1000);
    QTest::newRow("value of 100000 characters") << "FAV1TXT=" + QByteArray(100000, '\xe9') + "\r\nMOVENOW="
                                                       + QByteArray(5000, '/');
    QTest::newRow("huge numbers") << QByteArray("WTOP=99999999999999999999\r\nCALAZ_POURSAT=1e308\r\n"
                                                "ZERO_POURSAT=4.9e-324\r\nAZIMUT_PARKING=-2147483647.4\r\n"
                                                "PORT_GS232=2147483647\r\nLPT_POURSAT=-2147483648\r\n");
}

void TestConfiguration::hostileContent()
{
    QFETCH(QByteArray, input);
    checkFixedPoint(input);

    Settings s;
    RecordingTarget target(s);
    StoredChoices stored;
    readConfiguration(input, s, target, stored);
    if (QTest::currentDataTag() == QByteArray("value of 100000 characters")) {
        QCOMPARE(s.FAVTXT[0], QString(100000, QChar(0xe9)));
        QCOMPARE(lineOf(configurationText(s, target, stored), "FAV1TXT").size(), 8 + 100000);
    }
    if (QTest::currentDataTag() == QByteArray("repeated keys"))
        QVERIFY(target.autoState); // an odd number of presses
}

void TestConfiguration::inputForms_data()
{
    QTest::addColumn<QByteArray>("file");
    const QString canonical = canonicalText();
    QStringList spaced;
    QStringList lowered;
    for (const QString &line : canonical.split("\r\n")) {
        const qsizetype equals = line.indexOf('=');
        spaced << (equals < 0 ? line : line.left(equals) + " \t= " + line.mid(equals + 1));
        lowered << (equals < 0 ? line.toLower() : line.left(equals).toLower() + line.mid(equals));
    }
    QTest::newRow("as the program writes it") << toWindows1252(canonical);
    QTest::newRow("KEY = value") << toWindows1252(spaced.join("\r\n"));
    QTest::newRow("keys and sections in lower case") << toWindows1252(lowered.join("\r\n"));
    QTest::newRow("UTF-16 LE without a mark") << inEncoding(canonical, QStringConverter::Utf16LE);
    QTest::newRow("UTF-16 BE without a mark") << inEncoding(canonical, QStringConverter::Utf16BE);
    QTest::newRow("UTF-8 without a mark") << inEncoding(canonical, QStringConverter::Utf8);
}

// Each form reads the values of the file the program writes, and is written back as that file.
void TestConfiguration::inputForms()
{
    QFETCH(QByteArray, file);
    QList<SkippedLine> skipped;
    Settings read;
    QCOMPARE(rewritten(file, &skipped, &read), toWindows1252(canonicalText()));
    QCOMPARE(skipped.size(), 0);
    QCOMPARE(read.FAVTXT[0], QString::fromUtf8("Café"));
}

void TestConfiguration::roundTrip_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("name"); // FAV2TXT after writing and reading again
    const QString canonical = canonicalText();
    const QString others = QString::fromUtf8("[MYTOOL]\r\ncolour = blue\r\n; a note\r\nNEWER_KEY=1\r\n");
    const QString russian = QString::fromUtf8("Москва");
    const QString named = QString(canonical).replace("FAV2TXT=Fav.2", "FAV2TXT=" + russian) + others;
    const QByteArray canonicalBytes = toWindows1252(canonical);

    QTest::newRow("as the program writes it") << canonicalBytes << canonicalBytes << "Fav.2";
    QTest::newRow("other lines in the middle go after the known keys")
        << toWindows1252(QString(canonical).replace("ANT=GS232\r\n", "ANT=GS232\r\n" + others))
        << toWindows1252(canonical + others) << "Fav.2";
    QTest::newRow("Cyrillic name, UTF-8") << inEncoding(named, QStringConverter::Utf8)
                                          << inEncoding(named, QStringConverter::Utf8) << russian;
    QTest::newRow("Cyrillic name, UTF-8 with its mark") << inEncoding(named, QStringConverter::Utf8, true)
                                                        << inEncoding(named, QStringConverter::Utf8, true) << russian;
    QTest::newRow("Cyrillic name, UTF-16 LE gains its mark") << inEncoding(named, QStringConverter::Utf16LE)
                                                             << inEncoding(named, QStringConverter::Utf16LE, true) << russian;
    QTest::newRow("Cyrillic name, UTF-16 BE") << inEncoding(named, QStringConverter::Utf16BE, true)
                                              << inEncoding(named, QStringConverter::Utf16BE, true) << russian;
}

void TestConfiguration::roundTrip()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, written);
    QFETCH(QString, name);
    const QByteArray once = rewritten(file);
    QCOMPARE(once, written);
    Settings again;
    QCOMPARE(rewritten(once, nullptr, &again), once);
    QCOMPARE(again.FAVTXT[1], name);
}

void TestConfiguration::refusedPaths_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a link to a FIFO") << "fifo";
    QTest::newRow("a link to a directory") << "directory";
    QTest::newRow("a link into a missing folder") << "missing folder";
    QTest::newRow("a loop of links") << "loop";
}

// Neither read nor replaced, the start-up says so and the exit only tells standard error.
void TestConfiguration::refusedPaths()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    platform::ScopedRecordingUi ui;
    Settings s = settingsIn(dir.path());
    const QString station = dir.filePath("station");
    QVERIFY(QDir().mkpath(station));
    QString target = station + "/mine.ini";
    if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0644), 0);
    if (kind == "directory")
        QVERIFY(QDir().mkpath(target));
    if (kind == "missing folder")
        target = dir.filePath("gone/mine.ini");
    if (kind == "loop")
        target = s.ConfigPath;
    QVERIFY(QFile::link(target, s.ConfigPath));

    RecordingTarget reader(s);
    const ConfigurationReading reading = load_configuration(s, reader);
    QVERIFY2(reading.error.startsWith("Can't use " + s.ConfigPath), qPrintable(reading.error));
    if (kind != "loop")
        QVERIFY2(reading.error.contains(target), qPrintable(reading.error));
    QVERIFY(reader.calls.isEmpty());

    bool saved = true;
    const QByteArray told = standardErrorOf([&] { saved = save_configuration(s, reader, reading.stored); });
    QVERIFY(!saved);
    QVERIFY2(told.contains("not saved"), told.constData());
    QVERIFY(ui->messages.isEmpty());
    QVERIFY(QFileInfo(s.ConfigPath).isSymLink());
    struct stat status;
    if (kind == "fifo") {
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &status), 0);
        QVERIFY(S_ISFIFO(status.st_mode));
    }
    if (kind == "directory")
        QVERIFY(QDir(target).isEmpty());
    QVERIFY(!QFileInfo::exists(dir.filePath("gone")));
    QVERIFY(!QFileInfo::exists(s.BackupPath));
    QVERIFY(!QFileInfo::exists(station + "/Torvanel.~in"));
}

void TestConfiguration::halfUnderstood_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("refusal"); // empty when the file stays
    QTest::addColumn<QByteArray>("kept"); // the lines written after the known keys
    QTest::newRow("another program's file") << QByteArray("[Window]\r\nColour=blue\r\nSize=3\r\nANT=EGIS\r\n")
                                            << "3 of the 4 lines" << QByteArray();
    QTest::newRow("nothing understood") << QByteArray("ANT EGIS\nAZIMUT_PARKING=x\n\n")
                                        << "2 of the 2 lines" << QByteArray();
    QTest::newRow("half understood stays")
        << QByteArray("ANT=EGIS\r\nSTEP_GS232=2\r\n\r\n; mine\r\nColour=blue\r\nSize=3\r\n")
        << "" << QByteArray("; mine\r\nColour=blue\r\nSize=3\r\n");
}

// A file understood less than half is kept aside before the save can take its place.
void TestConfiguration::halfUnderstood()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, refusal);
    QFETCH(QByteArray, kept);
    QTemporaryDir dir;
    platform::ScopedRecordingUi ui;
    Settings s = settingsIn(dir.path());
    QVERIFY(writeBytes(s.ConfigPath, file));
    RecordingTarget target(s);
    const ConfigurationReading reading = load_configuration(s, target);
    QCOMPARE(s.ANT, file.startsWith("ANT EGIS") ? int(NoInterface) : int(EGIS));
    if (refusal.isEmpty()) {
        QCOMPARE(reading.error, QString());
    } else {
        QVERIFY2(reading.error.startsWith(refusal), qPrintable(reading.error));
        QVERIFY2(reading.error.contains(s.ConfigPath + ".refused"), qPrintable(reading.error));
        QCOMPARE(fileBytes(s.ConfigPath + ".refused"), file);
    }
    QVERIFY(save_configuration(s, target, reading.stored));
    const QByteArray written = fileBytes(s.ConfigPath);
    QVERIFY(written.startsWith(firstStartSample.left(firstStartSample.indexOf('\n'))));
    QVERIFY(written.endsWith(kept));
    QCOMPARE(written.contains("Colour"), !kept.isEmpty());
}

QTEST_GUILESS_MAIN(TestConfiguration)
#include "test_configuration.moc"
