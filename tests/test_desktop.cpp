#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLayout>
#include <QLineEdit>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "app/settings.h"
#include "platform/ui_services.h"
#include "sources/locator.h"
#include "support/pseudo_terminal.h"
#include "ui/settings_dialog.h"
#include "ui/tform1.h"

#include "support/x_desktop.h"

// The bytes that reach the GS-232 line next; generous, for a loaded machine or a sanitizer build.
#define QCOMPARE_LINE(bytes) QCOMPARE(line->read(QByteArray(bytes).size(), 10000), QByteArray(bytes))

namespace {

XDesktop *desktop = nullptr;

// The main window's title names the interface; the settings dialog's is the bare name.
bool isMainTitle(const QString &title)
{
    return title.startsWith(QLatin1String("TORVANEL")) && title.contains(QLatin1String(" - "));
}

// Init on the GS-232 page, the page it opens on while GS-232 is the selected interface.
void onGs232Page(TFormInit &dialog)
{
    dialog.PageControlAntenne->setCurrentIndex(GS232);
    QCoreApplication::processEvents();
}

} // namespace

// The real program on a real X server with a window manager, keys and clicks sent as a
// keyboard and a mouse send them: what the offscreen platform cannot show, the keypad's
// mapping and the focus that windows hand each other.
class TestDesktop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void keypadItemsFromEveryWindow();
    void keypadWithoutNumLockIsNavigation();
    void angleWindowIsTypedOver();
    void azimuthBoxIsTypedOver();
    void locatorTurnsShortAndLongPath();
    void secondStartBringsTheWindowForward();
    void activityWindowFromTheKeyboard();
    void overlapTypedAndUnwound();
    void unwindButtonInInit();
    void travelChosenInInit();
    void hamlibModelTypedInInit();

private:
    // Starts the program with these lines in its file; its main window once it is active.
    Window start(const QByteArray &lines);
    void end();
    QByteArray savedFile() const;
    // Where a control of the settings dialog lies once the dialog has this client size.
    QPoint dialogControl(QSize client, QWidget *(*control)(TFormInit &));
    // Opens Init from the keyboard and clicks one of its controls once the dialog is active;
    // false when it did not come. The bytes of the opening (a stop, the port test) are drained.
    bool clickInInit(QWidget *(*control)(TFormInit &));

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<PseudoTerminal> line;
    QProcess program;
};

void TestDesktop::initTestCase()
{
    QVERIFY(desktop->windowManagerRuns());
}

void TestDesktop::init()
{
    home = std::make_unique<QTemporaryDir>();
    const QString built = qEnvironmentVariable("TORVANEL_BUILD_DIR") + QStringLiteral("/torvanel");
    QVERIFY(QFile::copy(built, home->filePath(QStringLiteral("torvanel"))));
    QFile(home->filePath(QStringLiteral("torvanel"))).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    line = std::make_unique<PseudoTerminal>();
    line->linkAs(home->path(), 3);
    // As most users keep it.
    desktop->setNumLock(true);
}

void TestDesktop::cleanup()
{
    // Ended as a user ends it, so that it releases its serial port's lock file: a stale one
    // held by root refuses the same pseudo-terminal to another user's program later.
    if (program.state() != QProcess::NotRunning) {
        ::kill(pid_t(program.processId()), SIGTERM);
        if (!program.waitForFinished(10000)) {
            program.kill();
            program.waitForFinished();
        }
    }
}

Window TestDesktop::start(const QByteArray &lines)
{
    QFile file(home->filePath(QStringLiteral("Torvanel.ini")));
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    file.write("[TORVANEL  V2.4.1DX]\r\nANT=GS232\r\nPORT_GS232=3\r\n" + lines);
    file.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), desktop->display);
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    // No session bus: the chosen mapping program's link stays closed.
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(home->filePath(QStringLiteral("torvanel")), {});
    const Window window = desktop->waitForWindow(isMainTitle);
    if (!window || !XDesktop::waitUntil([&] { return desktop->activeWindow() != 0; }))
        return 0;
    // The first activation's own bytes, if any, are not what the test is about.
    line->drain(300);
    return window;
}

void TestDesktop::end()
{
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
}

QByteArray TestDesktop::savedFile() const
{
    QFile file(home->filePath(QStringLiteral("Torvanel.ini")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QPoint TestDesktop::dialogControl(QSize client, QWidget *(*control)(TFormInit &))
{
    // The same dialog, laid out in this process by the same style and fonts, never mapped.
    platform::ScopedRecordingUi quiet;
    settings() = Settings();
    TForm1 window;
    TFormInit &dialog = *window.FormInit;
    dialog.setAttribute(Qt::WA_DontShowOnScreen);
    dialog.show();
    dialog.resize(client);
    QCoreApplication::processEvents();
    QWidget *widget = control(dialog);
    return widget->mapTo(&dialog, widget->rect().center());
}

bool TestDesktop::clickInInit(QWidget *(*control)(TFormInit &))
{
    desktop->key(XK_i, {XK_Control_L});
    const Window dialog = desktop->waitForWindow([](const QString &title) { return title == u"TORVANEL"; });
    if (!dialog || !XDesktop::waitUntil([&] { return desktop->activeWindow() == dialog; }))
        return false;
    line->drain(500);
    const QRect frame = desktop->geometry(dialog);
    desktop->click(frame.topLeft() + dialogControl(frame.size(), control));
    return true;
}

void TestDesktop::keypadItemsFromEveryWindow()
{
    const Window main = start("FAV1AZ=10\r\nFAV2AZ=20\r\nFAV3AZ=30\r\nFAV4AZ=40\r\nFAV5AZ=50\r\nFAV6AZ=60\r\n");
    QVERIFY(main);
    // Manual mode: a favourite only sets the azimuth.
    desktop->ctrlKeypad(1);
    QCOMPARE(line->drain(300), QByteArray());
    desktop->ctrlKeypad(0);
    for (int favourite = 2; favourite <= 6; ++favourite) {
        desktop->ctrlKeypad(favourite);
        QCOMPARE_LINE("W0" + QByteArray::number(favourite) + "0\r");
    }
    desktop->ctrlKeypad(8);
    QCOMPARE_LINE("W240\r");
    desktop->ctrlKeypad(9);
    QCOMPARE_LINE("S\r");

    desktop->ctrlKeypad(7);
    const Window angle = desktop->waitForWindow([](const QString &title) { return title == u"Angle"; });
    QVERIFY(angle);
    QTRY_COMPARE_WITH_TIMEOUT(desktop->activeWindow(), angle, 10000);
    desktop->ctrlKeypad(1);
    QCOMPARE_LINE("W010\r");
    // The digit did not land in the entry, which shows 10 selected.
    desktop->type("90\n");
    QCOMPARE_LINE("W090\r");

    QVERIFY(clickInInit([](TFormInit &d) -> QWidget * { return d.EditPortN1MM; }));
    desktop->ctrlKeypad(4);
    QCOMPARE_LINE("W040\r");
    end();
    // The port field kept its value, and the dialog let the program close.
    QVERIFY(savedFile().contains("PORTN1MM=12040\r\n"));
}

void TestDesktop::keypadWithoutNumLockIsNavigation()
{
    QVERIFY(start("AUTO=1\r\nFAV1AZ=10\r\n"));
    desktop->setNumLock(false);
    desktop->ctrlKeypad(1);
    desktop->ctrlKeypad(9);
    QCOMPARE(line->drain(300), QByteArray());
    desktop->setNumLock(true);
    desktop->ctrlKeypad(1);
    QCOMPARE_LINE("W010\r");
}

void TestDesktop::angleWindowIsTypedOver()
{
    const Window main = start("AUTO=1\r\nWANGLE=1\r\nFAV1AZ=45\r\n");
    QVERIFY(main);
    const Window angle = desktop->waitForWindow([](const QString &title) { return title == u"Angle"; });
    QVERIFY(angle);
    QTRY_COMPARE_WITH_TIMEOUT(desktop->activeWindow(), angle, 10000);
    desktop->type("200\n");
    QCOMPARE_LINE("W200\r");
    // Refused, 400 gives way to the 200 shown, selected: Enter again turns the antenna nowhere.
    desktop->type("400\n\n90\n");
    QCOMPARE_LINE("W090\r");

    // A click leaves the caret in the entry; STOP hands the focus back with the text selected.
    desktop->click(desktop->geometry(angle).center());
    // The menu bar's height: the panel is the 44 pixels below it.
    const QRect client = desktop->geometry(main);
    const int menuBar = client.height() - 44;
    desktop->click(client.topLeft() + QPoint(82 + 225 + 21, menuBar + 2 + 5 + 18));
    QCOMPARE_LINE("S\r");
    QTRY_COMPARE_WITH_TIMEOUT(desktop->focusWindow(), angle, 10000);
    desktop->type("90\n");
    QCOMPARE_LINE("W090\r");

    // Taller, the window shows the favourites' row.
    desktop->resize(main, client.width(), client.height() + 30);
    QTRY_VERIFY(desktop->geometry(main).height() > client.height());
    desktop->click(client.topLeft() + QPoint(88 + 28, menuBar + 50 + 8));
    QCOMPARE_LINE("W045\r");
    end();
}

void TestDesktop::azimuthBoxIsTypedOver()
{
    const Window main = start("ANGLE=55\r\n");
    QVERIFY(main);
    const QRect client = desktop->geometry(main);
    const QPoint panel = client.topLeft() + QPoint(82, client.height() - 44 + 2);
    const QPoint display = panel + QPoint(8 + 46, 6 + 17);
    const QPoint man = panel + QPoint(141 + 21, 5 + 18);
    const QPoint autoButton = panel + QPoint(183 + 21, 5 + 18);
    // A click on the display gives the box the keyboard: 1 2 3 replace the 55 shown.
    desktop->click(display);
    desktop->type("123");
    desktop->click(man);
    QCOMPARE_LINE("W123\r");
    // In AUTO mode typing 120 over it sends 120 once the typing pauses, not 1 and 12 on the
    // way; Enter sends at once.
    desktop->click(autoButton);
    desktop->typeAtOnce("120");
    QCOMPARE_LINE("W120\r");
    desktop->type("45\n");
    QCOMPARE_LINE("W045\r");
    end();
}

void TestDesktop::locatorTurnsShortAndLongPath()
{
    // The angle window open beside it keeps its hands off the locator window's keys.
    QVERIFY(start("MYLOCATOR=JN18du\r\nWANGLE=1\r\nFAV2AZ=20\r\n"));
    const auto command = [](const char *other, bool longPath) {
        const auto path = locator::path("JN18du", other);
        const int azimuth = int(std::nearbyint(longPath ? path->longPathAzimuth : path->azimuth)) % 360;
        return QByteArray("W") + QByteArray::number(azimuth).rightJustified(3, '0') + '\r';
    };
    // AUTO is off: Enter sends all the same.
    desktop->key(XK_l, {XK_Control_L});
    const Window window = desktop->waitForWindow([](const QString &title) { return title == u"Locator"; });
    QVERIFY(window);
    QTRY_COMPARE_WITH_TIMEOUT(desktop->activeWindow(), window, 10000);
    desktop->type("fn31pr\n");
    QCOMPARE_LINE(command("FN31pr", false));
    desktop->key(XK_Return, {XK_Shift_L});
    QCOMPARE_LINE(command("FN31pr", true));
    // A favourite chosen from here leaves the keyboard here too (AUTO off: nothing is sent).
    desktop->ctrlKeypad(2);
    // The entry stays selected for the next station; a letter out of its place is not typed.
    desktop->type("pzm95\n");
    QCOMPARE_LINE(command("PM95", false));
    end();
    QVERIFY(savedFile().contains("MYLOCATOR=JN18du\r\n"));
    QVERIFY(savedFile().contains("WLOC=1\r\n"));
}

void TestDesktop::secondStartBringsTheWindowForward()
{
    const Window main = start(QByteArray());
    QVERIFY(main);
    desktop->key(XK_l, {XK_Control_L});
    const Window locatorWindow = desktop->waitForWindow([](const QString &title) { return title == u"Locator"; });
    QVERIFY(locatorWindow);
    QTRY_COMPARE_WITH_TIMEOUT(desktop->activeWindow(), locatorWindow, 10000);
    QProcess second;
    second.setProcessEnvironment(program.processEnvironment());
    second.start(home->filePath(QStringLiteral("torvanel")), {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(desktop->activeWindow(), main, 10000);
    end();
}

void TestDesktop::activityWindowFromTheKeyboard()
{
    QVERIFY(start(QByteArray()));
    desktop->key(XK_j, {XK_Control_L});
    const Window window = desktop->waitForWindow([](const QString &title) { return title == u"Activity"; });
    QVERIFY(window);
    QTRY_COMPARE_WITH_TIMEOUT(desktop->activeWindow(), window, 10000);
    end();
}

// A GS-232 turning 0..450: azimuths typed in the box take the short way past north, the title
// says so, and Ctrl+U turns the antenna back to the middle of its travel.
void TestDesktop::overlapTypedAndUnwound()
{
    const Window main = start("AUTO=1\r\nAZMIN_GS232=0\r\nAZMAX_GS232=450\r\n");
    QVERIFY(main);
    desktop->type("350\n");
    QCOMPARE_LINE("W350\r");
    desktop->type("10\n");
    QCOMPARE_LINE("W370\r");
    QTRY_VERIFY_WITH_TIMEOUT(desktop->title(main).endsWith(QString::fromUtf8("370° (overlap)")), 10000);
    desktop->key(XK_u, {XK_Control_L});
    QCOMPARE_LINE("W225\r");
    QTRY_VERIFY_WITH_TIMEOUT(!desktop->title(main).contains(QLatin1String("overlap")), 10000);
    end();
    QVERIFY(savedFile().endsWith("AZMIN_GS232=0\r\nAZMAX_GS232=450\r\n"));
}

// Init opens on the selected interface's page, whose Unwind button turns to the middle of the travel.
void TestDesktop::unwindButtonInInit()
{
    QVERIFY(start("AZMIN_GS232=0\r\nAZMAX_GS232=450\r\n"));
    QVERIFY(clickInInit([](TFormInit &d) -> QWidget * {
        onGs232Page(d);
        return d.travelRows[GS232].unwind;
    }));
    QCOMPARE_LINE("W225\r");
    end();
}

// The travel is chosen from Init's list with the keyboard, and is in force at once: the page's
// Unwind button, which serves only a travel past a turn, turns the antenna.
void TestDesktop::travelChosenInInit()
{
    QVERIFY(start(QByteArray()));
    QVERIFY(clickInInit([](TFormInit &d) -> QWidget * {
        onGs232Page(d);
        return d.travelRows[GS232].list;
    }));
    // The click opened the list's popup: the second entry, 0 to 450°. The popup holds the pointer
    // until the program has taken the Return: the click on Unwind waits for it to close.
    QVERIFY(XDesktop::waitUntil([] { return desktop->popupShown("torvanel"); }));
    desktop->key(XK_Down);
    desktop->key(XK_Return);
    QVERIFY(XDesktop::waitUntil([] { return !desktop->popupShown("torvanel"); }));
    const Window dialog = desktop->waitForWindow([](const QString &title) { return title == u"TORVANEL"; });
    const QRect frame = desktop->geometry(dialog);
    desktop->click(frame.topLeft() + dialogControl(frame.size(), [](TFormInit &d) -> QWidget * {
        onGs232Page(d);
        return d.travelRows[GS232].unwind;
    }));
    QCOMPARE_LINE("W225\r");
    end();
    QVERIFY(savedFile().endsWith("AZMIN_GS232=0\r\nAZMAX_GS232=450\r\n"));
}

// A Hamlib model typed into Init's search field is taken at Enter: the rotator reopens on it, here
// Hamlib's network model, which connects to the address in Init.
void TestDesktop::hamlibModelTypedInInit()
{
    QTcpServer rotctld;
    QVERIFY(rotctld.listen(QHostAddress::LocalHost));
    QVERIFY(start(QStringLiteral("ANT=HAMLIB\r\nHAMLIB_MODEL=1\r\nHAMLIB_DEVICE=127.0.0.1:%1\r\n")
                      .arg(rotctld.serverPort())
                      .toLatin1()));
    QVERIFY(clickInInit([](TFormInit &d) -> QWidget * {
        d.PageControlAntenne->setCurrentIndex(Hamlib);
        QCoreApplication::processEvents();
        return d.ComboBoxHamlibModel;
    }));
    desktop->key(XK_a, {XK_Control_L});
    desktop->type("rotctl\n");
    // Hamlib's network client asks for the rotator's state first.
    QByteArray heard;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            while (QTcpSocket *peer = rotctld.nextPendingConnection())
                peer->setParent(&rotctld);
            for (QTcpSocket *peer : rotctld.findChildren<QTcpSocket *>())
                heard += peer->readAll();
            return heard.contains("dump_state");
        }(),
        10000);
    end();
    QVERIFY(savedFile().contains("\r\nHAMLIB_MODEL=2\r\n"));
}

int main(int argc, char **argv)
{
    XDesktop x;
    if (!x.start()) {
        qWarning("Xvfb and openbox are needed for the desktop tests");
        return 1;
    }
    desktop = &x;
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_desktop.moc"
