#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "app/settings.h"
#include "platform/ui_services.h"
#include "ui/dial.h"
#include "platform/serial_names.h"
#include "support/pseudo_terminal.h"
#include "support/sample_configuration.h"
#include "ui/tform1.h"
#include "ui/up_down.h"
#include "widgets/lcd99.h"

// The real main window under the offscreen platform: window geometry, menus and their shortcuts from
// another window of the program, both languages, the dial's needle, the title, and the file saved
// by a window that was never shown.
class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void windowGeometry();
    void radioGroups();
    void shortcuts_data();
    void shortcuts();
    void keypadDigitsOnly_data();
    void keypadDigitsOnly();
    void shortcutsBeatTheFocusedControl();
    void languageTexts_data();
    void languageTexts();
    void serverCaptionFollowsLanguage_data();
    void serverCaptionFollowsLanguage();
    void diagnosticControls();
    void manualItemPressesMan();
    void typedAzimuth_data();
    void typedAzimuth();
    void needle_data();
    void needle();
    void redrawLeavesNoTrace();
    void lampsAreTransparent();
    void title();
    void closedBeforeFirstActivation_data();
    void closedBeforeFirstActivation();

private:
    QAction *item(const QString &name) const { return window->findChild<QAction *>(name); }
    // A plain top-level window of the program, shown and active.
    QWidget *otherWindow(QWidget *focused = nullptr);

    TForm1 *window = nullptr;
    QWidget *other = nullptr;
    platform::ScopedRecordingUi *recorder = nullptr;
};

namespace {

const QColor needleColour(255, 0, 0);

double distanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF ab = b - a;
    const double t = qBound(0.0, QPointF::dotProduct(p - a, ab) / QPointF::dotProduct(ab, ab), 1.0);
    const QPointF nearest = a + t * ab;
    return std::hypot(p.x() - nearest.x(), p.y() - nearest.y());
}

// Claims every key for itself, as a line edit does with Ctrl+E on some desktops.
class GreedyEdit : public QLineEdit
{
protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        return QLineEdit::event(event);
    }
};

} // namespace

void TestMainWindow::init()
{
    settings() = Settings();
    recorder = new platform::ScopedRecordingUi;
    window = new TForm1;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestMainWindow::cleanup()
{
    delete other;
    other = nullptr;
    delete window;
    delete recorder;
}

QWidget *TestMainWindow::otherWindow(QWidget *focused)
{
    other = new QWidget;
    other->resize(200, 100);
    if (focused)
        focused->setParent(other);
    other->show();
    other->activateWindow();
    if (focused)
        focused->setFocus();
    if (!QTest::qWaitForWindowActive(other))
        return nullptr;
    return other;
}

void TestMainWindow::windowGeometry()
{
    QCOMPARE(window->pos(), QPoint(3, 114));
    QCOMPARE(window->centralWidget()->size(), QSize(471, 44));
    QVERIFY(window->menuBar()->isVisible());
    const Qt::WindowFlags flags = window->windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    const QStringList favourites = {"Fav.1", "Fav.2", "Fav.3", "Fav.4", "Fav.5", "Fav.6"};
    QStringList captions;
    for (QPushButton *button : settings().FavouriteButtons)
        captions << button->text();
    QCOMPARE(captions, favourites);
    QCOMPARE(settings().FavouriteButtons[0], window->Button1);
}

void TestMainWindow::radioGroups()
{
    QVERIFY(window->MenuServerVelmundo->isChecked());
    QVERIFY(window->MenuEnglish->isChecked());
    window->MenuServerN1MM->trigger();
    window->MenuFrancais->trigger();
    QCOMPARE(QList<bool>({window->MenuServerVelmundo->isChecked(), window->menuServerBeamDX->isChecked(),
                          window->MenuServerN1MM->isChecked()}),
             QList<bool>({false, false, true}));
    QVERIFY(!window->MenuEnglish->isChecked());
    // Choosing the checked item again keeps it checked.
    window->MenuFrancais->trigger();
    QVERIFY(window->MenuFrancais->isChecked());
}

void TestMainWindow::shortcuts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
    const Qt::KeyboardModifiers ctrlKeypad = Qt::ControlModifier | Qt::KeypadModifier;
    QTest::newRow("Ctrl+Q quits") << "MenuQuitter" << int(Qt::Key_Q) << ctrl;
    QTest::newRow("Ctrl+I Init") << "MenuInit" << int(Qt::Key_I) << ctrl;
    QTest::newRow("Ctrl+M favourites") << "MenuFav" << int(Qt::Key_M) << ctrl;
    QTest::newRow("Ctrl+Alt+A Velmundo") << "MenuServerVelmundo" << int(Qt::Key_A) << ctrlAlt;
    QTest::newRow("Ctrl+Alt+B Beam_DX") << "menuServerBeamDX" << int(Qt::Key_B) << ctrlAlt;
    QTest::newRow("Ctrl+Alt+N N1MM") << "MenuServerN1MM" << int(Qt::Key_N) << ctrlAlt;
    QTest::newRow("Ctrl+E English") << "MenuEnglish" << int(Qt::Key_E) << ctrl;
    QTest::newRow("Ctrl+F French") << "MenuFrancais" << int(Qt::Key_F) << ctrl;
    QTest::newRow("F1 help") << "MenuAide" << int(Qt::Key_F1) << Qt::KeyboardModifiers();
    QTest::newRow("Ctrl+Alt+S diagnostic") << "MenuVoirCommande" << int(Qt::Key_S) << ctrlAlt;
    QTest::newRow("Ctrl+Num 0 AUTO") << "MenuAuto" << int(Qt::Key_0) << ctrlKeypad;
    for (int i = 1; i <= 6; ++i) {
        QTest::addRow("Ctrl+Num %d favourite %d", i, i)
            << QStringLiteral("MenuFav%1").arg(i) << int(Qt::Key_0 + i) << ctrlKeypad;
    }
    QTest::newRow("Ctrl+Num 7 angle") << "MenuAngle" << int(Qt::Key_7) << ctrlKeypad;
    QTest::newRow("Ctrl+Num 8 LP") << "MenuLP" << int(Qt::Key_8) << ctrlKeypad;
    QTest::newRow("Ctrl+Num 9 STOP") << "MenuStop" << int(Qt::Key_9) << ctrlKeypad;
}

void TestMainWindow::shortcuts()
{
    QFETCH(QString, name);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QAction *action = item(name);
    QVERIFY(action);
    QSignalSpy triggered(action, &QAction::triggered);
    QWidget *focused = otherWindow();
    QVERIFY(focused);
    QTest::keyClick(focused, Qt::Key(key), modifiers);
    QCOMPARE(triggered.size(), 1);
}

void TestMainWindow::keypadDigitsOnly_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("Ctrl with a digit of the main row") << Qt::KeyboardModifiers(Qt::ControlModifier);
    QTest::newRow("a keypad digit without Ctrl") << Qt::KeyboardModifiers(Qt::KeypadModifier);
}

void TestMainWindow::keypadDigitsOnly()
{
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QSignalSpy favourite(window->MenuFav1, &QAction::triggered);
    QSignalSpy stop(window->MenuStop, &QAction::triggered);
    QWidget *focused = otherWindow();
    QVERIFY(focused);
    QTest::keyClick(focused, Qt::Key_1, modifiers);
    QTest::keyClick(focused, Qt::Key_9, modifiers);
    QCOMPARE(favourite.size(), 0);
    QCOMPARE(stop.size(), 0);
}

void TestMainWindow::shortcutsBeatTheFocusedControl()
{
    window->MenuFrancaisClick();
    auto *edit = new GreedyEdit;
    QVERIFY(otherWindow(edit));
    QCOMPARE(QApplication::focusWidget(), edit);
    QTest::keyClick(edit, Qt::Key_E, Qt::ControlModifier);
    QVERIFY(window->MenuEnglish->isChecked());
    QCOMPARE(window->MenuQuitter->text(), QStringLiteral("Quit"));
    // Keys that are no shortcut still reach the control.
    QTest::keyClicks(edit, QStringLiteral("ab"));
    QCOMPARE(edit->text(), QStringLiteral("ab"));
}

void TestMainWindow::languageTexts_data()
{
    QTest::addColumn<bool>("french");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("French")
        << true
        << QStringList({"Quitter", "Init", "Mes Favoris", "Azimut", "Loc", QString::fromUtf8("\u21BA"),
                        "Serveur (Velmundo)", "Langue", "?", "Aide", "A propos de Torvanel"})
        << QStringList({QString::fromUtf8("Ne peut créer Torvanel.ini"), QString::fromUtf8("ARSWIN doit s'exécuter !"),
                        QString::fromUtf8("Le pilote du port parallèle (ppdev) n'est pas disponible.\r\n"
                                          "Il est nécessaire lors du contrôle d'un port LPT.\r\n"
                                          "SVP charger ppdev et donner accès à /dev/parport*\r\n"
                                          "et redémarrez TORVANEL.")});
    QTest::newRow("English after French")
        << false
        << QStringList({"Quit", "Init", "My Favourites", "Azimuth", "Loc", QString::fromUtf8("\u21BA"),
                        "Server (Velmundo)", "Language", "?", "Help", "About Torvanel"})
        << QStringList({"Can't create Torvanel.ini", "ARSWIN must be running !",
                        "Parallel port driver (ppdev) is not available.\r\n"
                        "It is mandatory when controling an LPT port.\r\n"
                        "Please load ppdev and give your user access to /dev/parport*\r\n"
                        "and restart TORVANEL."});
}

void TestMainWindow::languageTexts()
{
    QFETCH(bool, french);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, messages);
    window->MenuFrancais->trigger();
    if (!french)
        window->MenuEnglish->trigger();
    QCOMPARE(window->MenuFrancais->isChecked(), french);
    QCOMPARE(window->MenuEnglish->isChecked(), !french);
    QCOMPARE(window->language(), french ? languages::Language::French : languages::Language::English);
    QStringList shown;
    for (QAction *action : window->menuBar()->actions())
        shown << action->text();
    shown << window->MenuAide->text() << window->MenuAPropos->text();
    QCOMPARE(shown, captions);
    // These are the same in both languages.
    QCOMPARE(window->MenuEnglish->text(), QStringLiteral("English"));
    QCOMPARE(window->MenuFrancais->text(), QString::fromUtf8("Français"));
    QCOMPARE(window->MenuServerN1MM->text(), QStringLiteral("N1MM Logger"));
    QCOMPARE(window->ButtonTrack->text(), QStringLiteral("MAN"));
    const Settings &s = settings();
    QCOMPARE(QStringList({s.MsgCannotCreateConfig, s.MsgArswinNotRunning, s.MsgPortDriverMissing}), messages);
}

void TestMainWindow::serverCaptionFollowsLanguage_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("french");
    QTest::addColumn<QString>("after");
    QTest::newRow("Velmundo to French drops the accelerator")
        << "MenuServerVelmundo" << "&Server (Velmundo)" << true << "Serveur (Velmundo)";
    QTest::newRow("Beam_DX to French") << "menuServerBeamDX" << "&Server (Beam_DX)" << true << "Serveur (Beam_DX)";
    QTest::newRow("Beam_DX to English") << "menuServerBeamDX" << "&Serveur (Beam_DX)" << false << "Server (Beam_DX)";
    QTest::newRow("N1MM to French") << "MenuServerN1MM" << "Server (N1MM)" << true << "Serveur (N1MM)";
    QTest::newRow("N1MM back to English") << "MenuServerN1MM" << "Serveur (N1MM)" << false << "Server (N1MM)";
}

void TestMainWindow::serverCaptionFollowsLanguage()
{
    QFETCH(QString, server);
    QFETCH(QString, before);
    QFETCH(bool, french);
    QFETCH(QString, after);
    if (!french)
        window->MenuFrancaisClick();
    // As the server's own handler leaves it.
    item(server)->setChecked(true);
    window->MenuServer->setTitle(before);
    if (french)
        window->MenuFrancaisClick();
    else
        window->MenuEnglishClick();
    QCOMPARE(window->MenuServer->title(), after);
}

void TestMainWindow::diagnosticControls()
{
    QList<QWidget *> diagnostic = {window->LabelEtatInterface, window->Label1, window->EditdataString};
    for (QWidget *widget : diagnostic)
        QVERIFY(!widget->isVisible());
    QWidget *focused = otherWindow();
    QVERIFY(focused);
    QTest::keyClick(focused, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    for (QWidget *widget : diagnostic)
        QVERIFY(widget->isVisible());
    QCOMPARE(window->LabelEtatInterface->text(), QStringLiteral("commande"));
    QCOMPARE(window->Label1->text(), QStringLiteral("Defaultport=12056"));
    QCOMPARE(window->EditdataString->text(), QStringLiteral("DataString"));
}

void TestMainWindow::manualItemPressesMan()
{
    QVERIFY(window->MenuManuel->shortcut().isEmpty());
    QSignalSpy pressed(window->ButtonTrack, &QPushButton::clicked);
    window->MenuManuel->trigger();
    QCOMPARE(pressed.size(), 1);
}

void TestMainWindow::typedAzimuth_data()
{
    // Typed after the "0" shown at start, the caret at its end.
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1 2 3 reads 123, not 012") << "123" << "123";
    QTest::newRow("a typed leading zero goes") << "\b045" << "45";
    QTest::newRow("past 359 is not typed") << "\b400" << "40";
    QTest::newRow("signs and letters are not typed") << "\b-4a5" << "45";
    QTest::newRow("emptied: no box, nothing sent") << "\b" << "";
}

void TestMainWindow::typedAzimuth()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QList<double> sent;
    window->drivers.add(GS232, {QStringLiteral("GS_Track"), QStringLiteral("GS_Track_stop"),
                                [&sent](DriverTable::Done done) {
                                    sent << double(settings().TargetAzimuth);
                                    done(Outcome::Sent, {});
                                },
                                {}, {}});
    settings().ANT = GS232;
    window->EditAzimut->setFocus();
    window->EditAzimut->end(false);
    QTest::keyClicks(window->EditAzimut, keys);
    QCOMPARE(window->EditAzimut->text(), shown);
    QCOMPARE(window->LCDAzi->Value(), shown);
    QTest::mouseClick(window->ButtonTrack, Qt::LeftButton);
    QCOMPARE(sent, shown.isEmpty() ? QList<double>() : QList<double>{shown.toDouble()});
    QVERIFY((*recorder)->messages.isEmpty());
    // Sent: what comes next is typed over it.
    QCOMPARE(window->EditAzimut->selectedText(), shown);
}

void TestMainWindow::needle_data()
{
    QTest::addColumn<int>("azimuth");
    QTest::newRow("north at start") << 0;
    QTest::newRow("north-east") << 45;
    QTest::newRow("east") << 90;
    QTest::newRow("south") << 180;
    QTest::newRow("west") << 270;
    QTest::newRow("north-west") << 315;
}

void TestMainWindow::needle()
{
    QFETCH(int, azimuth);
    window->UpDownAzi->setPosition(azimuth);
    const QImage drawn = window->Image1->pixmap().toImage();
    const QImage clean = window->Image2->pixmap().toImage();
    QCOMPARE(drawn.size(), QSize(68, 68));
    const QPointF centre = dial::Centre;
    const QPointF end = dial::needleEnd(azimuth);
    int red = 0;
    bool nearEnd = false;
    for (int y = 0; y < 68; ++y) {
        for (int x = 0; x < 68; ++x) {
            const QPointF pixel(x, y);
            const double distance = distanceToSegment(pixel, centre, end);
            if (drawn.pixelColor(x, y) == needleColour) {
                ++red;
                QVERIFY2(distance <= 2, qPrintable(QStringLiteral("red at (%1, %2)").arg(x).arg(y)));
                nearEnd = nearEnd || QLineF(pixel, end).length() <= 1;
            } else if (distance > 2) {
                QCOMPARE(drawn.pixel(x, y), clean.pixel(x, y));
            }
        }
    }
    QVERIFY(nearEnd);
    // Two pixels wide along its 22 pixels.
    QVERIFY2(red >= 40, qPrintable(QString::number(red)));
    const QPointF middle = (centre + end) / 2;
    QCOMPARE(drawn.pixelColor(middle.toPoint()), needleColour);
}

void TestMainWindow::redrawLeavesNoTrace()
{
    window->UpDownAzi->setPosition(90);
    const QImage first = window->Image1->pixmap().toImage();
    window->UpDownAzi->setPosition(200);
    QVERIFY(window->Image1->pixmap().toImage() != first);
    window->UpDownAzi->setPosition(90);
    QCOMPARE(window->Image1->pixmap().toImage(), first);
    window->cadran();
    QCOMPARE(window->Image1->pixmap().toImage(), first);
}

void TestMainWindow::lampsAreTransparent()
{
    for (QLabel *lamp : {window->ImageLEDOff, window->ImageLedOn}) {
        const QImage picture = lamp->pixmap().toImage();
        QCOMPARE(picture.size(), QSize(30, 30));
        QCOMPARE(qAlpha(picture.pixel(0, 29)), 0);
        QCOMPARE(qAlpha(picture.pixel(29, 0)), 0);
        QCOMPARE(qAlpha(picture.pixel(15, 15)), 255);
    }
    const QColor off = window->ImageLEDOff->pixmap().toImage().pixelColor(18, 18);
    const QColor on = window->ImageLedOn->pixmap().toImage().pixelColor(18, 18);
    QVERIFY(on.red() > off.red());
    QCOMPARE(on.green(), 0);
    QCOMPARE(off.green(), 0);
    // The dial is opaque.
    QCOMPARE(qAlpha(window->Image2->pixmap().toImage().pixel(0, 67)), 255);
}

void TestMainWindow::title()
{
    // The first activation keeps the interface only when its port is present.
    QTemporaryDir parent;
    PseudoTerminal line;
    line.linkAs(parent.path(), 3);
    platform::setComportsParent(parent.path());
    TForm1 fresh;
    QCOMPARE(fresh.windowTitle(), QStringLiteral("TORVANEL"));
    Settings &s = settings();
    s.Activated = false;
    s.ANT = GS232;
    s.PORT_GS232 = 2;
    s.PARKING = GS232 + 1;
    s.AZIMUT_PARKING = 180;
    fresh.FormActivate();
    QCOMPARE(fresh.windowTitle(), QString::fromUtf8("TORVANEL V2.4.1[DX] - GS232 / COM3 / 4800 / Parking=180°"));
    s.ANT = NoInterface;
    fresh.titre();
    QCOMPARE(fresh.windowTitle(), QStringLiteral("TORVANEL V2.4.1[DX]"));
}

void TestMainWindow::closedBeforeFirstActivation_data()
{
    QTest::addColumn<QByteArrayList>("lines");   // replace their keys' lines of the full sample
    QTest::addColumn<QByteArray>("extra");       // read first, not written back
    QTest::addColumn<QByteArrayList>("written"); // where the written file differs
    QTest::addColumn<int>("warnings");
    // The angle window's fixed 117 by 83, brought into the screen's lower right corner.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QByteArrayList corner = {"WALEFT=" + QByteArray::number(area.right() + 1 - 117),
                                   "WATOP=" + QByteArray::number(area.bottom() + 1 - 83)};
    QTest::newRow("a line skipped at start-up")
        << QByteArrayList() << QByteArray("WLEFT=abc\r\n") << QByteArrayList() << 1;
    QTest::newRow("Movenow missing at start-up")
        << QByteArrayList{"ANT=KCT"} << QByteArray() << QByteArrayList() << 1;
    QTest::newRow("main window beyond any screen, never shown")
        << QByteArrayList{"WLEFT=2147483647", "WTOP=-2147483648"} << QByteArray() << QByteArrayList() << 0;
    QTest::newRow("angle window beyond the screen, shown")
        << QByteArrayList{"WALEFT=9000", "WATOP=9000"} << QByteArray() << corner << 0;
}

// As when a close signal arrives while a start-up box waits: the window is made and saves without
// ever being shown, and the file keeps every value it held.
void TestMainWindow::closedBeforeFirstActivation()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArray, extra);
    QFETCH(QByteArrayList, written);
    QFETCH(int, warnings);
    const auto replaced = [](QByteArray file, const QByteArrayList &lines) {
        for (const QByteArray &line : lines) {
            const qsizetype at = file.indexOf("\n" + line.left(line.indexOf('=') + 1)) + 1;
            file.replace(at, file.indexOf("\r\n", at) - at, line);
        }
        return file;
    };
    const QByteArray given = replaced(fullSample, lines);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QTemporaryDir dir;
    Settings &s = settings();
    s = Settings();
    s.ExeDir = dir.path();
    s.ConfigPath = dir.filePath("Torvanel.ini");
    s.BackupPath = dir.filePath("Torvanel.~in");
    s.ConfigExisted = true;
    QFile file(s.ConfigPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(given).insert(given.indexOf("\r\n") + 2, extra));
    file.close();
    (*recorder)->messages.clear();

    TForm1 fresh;
    fresh.createSmallWindows();
    fresh.saveConfiguration();
    QCOMPARE((*recorder)->messages.size(), warnings);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().split('\n'), replaced(given, written).split('\n'));
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
