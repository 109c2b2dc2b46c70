#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <map>

#include "app/settings.h"
#include "platform/ui_services.h"
#include "sources/angle_window.h"
#include "sources/favourites.h"
#include "sources/locator.h"
#include "sources/locator_window.h"
#include "ui/about.h"
#include "ui/tform1.h"
#include "ui/up_down.h"

using platform::Beep;
using Doubles = QList<double>;

namespace {
const auto ctrlKeypad = Qt::ControlModifier | Qt::KeypadModifier;

// A secondary window counts as active for QWindow while its main window is.
bool becomesActive(QWidget *window)
{
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

QWidget *focused()
{
    return QApplication::focusWidget();
}

// Keys go where the user's keys go: a spin box takes them before its line edit.
void typeInto(QWidget *entry, const QString &text)
{
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(entry))
        spin->selectAll();
    else
        qobject_cast<QLineEdit *>(entry)->selectAll();
    QTest::keyClick(entry, Qt::Key_Delete);
    QTest::keyClicks(entry, text);
}
} // namespace

// The favourites, the angle window, the about box and help, driven through the real windows
// with a recording driver on GS-232.
class TestFavouritesAngle : public QObject
{
    Q_OBJECT
    TForm1 *window = nullptr;
    TFormFav *editor = nullptr;
    TFormAngle *angle = nullptr;
    platform::ScopedRecordingUi *recorder = nullptr;
    Doubles sent;
    int favouriteAtStop = -1;
    // The help pages of an install: a prefix with bin/ and share/torvanel/.
    QTemporaryDir installTree;

    void createWindow()
    {
        window = new TForm1;
        window->drivers.add(GS232, {QStringLiteral("GS_Track"), QStringLiteral("GS_Track_stop"),
                                    [this](DriverTable::Done done) {
                                        sent << double(settings().TargetAzimuth);
                                        done(Outcome::Sent, {});
                                    },
                                    [this] { favouriteAtStop = settings().FAVAZ[0]; }, {}});
        settings().ANT = GS232;
        window->createSmallWindows();
        editor = window->FormFav;
        angle = window->FormAngle;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_VERIFY(settings().Activated);
        QTRY_VERIFY(QApplication::activeWindow());
    }

private slots:
    void init()
    {
        settings() = Settings();
        recorder = new platform::ScopedRecordingUi;
        sent.clear();
        favouriteAtStop = -1;
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
        delete recorder;
        QLocale::setDefault(QLocale::system());
    }

    void favourite_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("azimuth");
        QTest::addColumn<bool>("autoOn");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<Doubles>("commands");
        QTest::newRow("left button") << "left" << 123 << false << "123" << Doubles();
        QTest::newRow("middle button") << "middle" << 123 << false << "123" << Doubles();
        QTest::newRow("space on the button") << "space" << 123 << false << "123" << Doubles();
        QTest::newRow("Ctrl+Num 4") << "keypad" << 123 << false << "123" << Doubles();
        QTest::newRow("Ctrl+Num 4 from the angle window") << "keypad in angle" << 123 << false << "123" << Doubles();
        QTest::newRow("AUTO sends") << "left" << 123 << true << "123" << Doubles({123});
        QTest::newRow("AUTO, azimuth already shown") << "left" << 0 << true << "0" << Doubles();
        QTest::newRow("400 from the file wraps to 0") << "left" << 400 << false << "0" << Doubles();
        QTest::newRow("right button opens the editor") << "right" << 123 << true << "0" << Doubles();
    }

    void favourite()
    {
        QFETCH(QString, how);
        QFETCH(int, azimuth);
        QFETCH(bool, autoOn);
        QFETCH(QString, shown);
        QFETCH(Doubles, commands);
        settings().FAVAZ = {10, 20, 30, azimuth, 50, 60};
        createWindow();
        if (autoOn)
            window->BitBtnAuto->click();
        if (how == QLatin1String("space")) {
            window->Button4->setFocus();
            QTest::keyClick(window->Button4, Qt::Key_Space);
        } else if (how == QLatin1String("keypad")) {
            QTest::keyClick(window, Qt::Key_4, ctrlKeypad);
        } else if (how == QLatin1String("keypad in angle")) {
            window->MenuAngleClick();
            QTest::keyClick(angle->EditAngle, Qt::Key_4, ctrlKeypad);
        } else {
            const Qt::MouseButton button = how == QLatin1String("left") ? Qt::LeftButton
                                           : how == QLatin1String("right") ? Qt::RightButton
                                                                           : Qt::MiddleButton;
            QTest::mouseClick(window->Button4, button);
        }
        QCOMPARE(window->EditAzimut->text(), shown);
        QCOMPARE(angle->EditAngle->text(), shown);
        if (azimuth != 0 && how != QLatin1String("right"))
            QCOMPARE(angle->EditAngle->selectedText(), shown);
        QCOMPARE(sent, commands);
        QCOMPARE(editor->isVisible(), how == QLatin1String("right"));
    }

    void editorShowsOnceAndKeepsItsEntries()
    {
        settings().FAVAZ[0] = 15;
        settings().FAVAZ[2] = 400;
        settings().FAVTXT[0] = QStringLiteral("LongName9");
        createWindow();
        QTest::keyClick(window, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->SpinEdit[0]->value(), 15);
        QCOMPARE(editor->SpinEdit[2]->value(), 359);
        QCOMPARE(editor->Edit[0]->text(), QStringLiteral("LongName9"));
        typeInto(editor->SpinEdit[0], QStringLiteral("77"));
        window->MenuFavClick();
        QCOMPARE(editor->SpinEdit[0]->value(), 77);
        QCOMPARE(settings().FAVAZ[2], 400);
        QCOMPARE(editor->windowTitle(), QStringLiteral("Favorite azimuths"));
        editor->close();
        window->MenuFrancais->trigger();
        window->MenuFavClick();
        QCOMPARE(editor->windowTitle(), QStringLiteral("Azimuts favoris"));
        QCOMPARE(editor->BitBtnSave->text(), QStringLiteral("Enregistrer"));

        QVERIFY(becomesActive(editor));
        editor->SpinEdit[0]->setFocus();
        QList<QWidget *> expected, visited{focused()};
        for (int row = 0; row < 6; ++row)
            expected << editor->SpinEdit[row] << editor->Edit[row];
        expected << editor->BitBtnSave;
        while (visited.size() < expected.size()) {
            QTest::keyClick(focused(), Qt::Key_Tab);
            visited << focused();
        }
        QCOMPARE(visited, expected);
    }

    void editorClamps_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("stored");
        QTest::newRow("400 saved") << "400" << "save" << 359;
        QTest::newRow("400 closed") << "400" << "close box" << 359;
        QTest::newRow("-10 saved") << "-10" << "save" << 0;
        QTest::newRow("emptied, saved") << "" << "save" << 0;
        QTest::newRow("emptied, closed") << "" << "close box" << 0;
        QTest::newRow("in range, closed") << "245" << "close box" << 245;
        QTest::newRow("400, focus leaves: shown 359, not stored yet") << "400" << "tab" << 100;
    }

    void editorClamps()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(int, stored);
        settings().FAVAZ[2] = 100;
        createWindow();
        window->MenuFavClick();
        QVERIFY(becomesActive(editor));
        editor->SpinEdit[2]->setFocus();
        typeInto(editor->SpinEdit[2], typed);
        typeInto(editor->Edit[2], QStringLiteral("North"));
        if (how == QLatin1String("tab")) {
            editor->SpinEdit[2]->setFocus();
            QTest::keyClick(editor->SpinEdit[2], Qt::Key_Tab);
            QCOMPARE(editor->SpinEdit[2]->text(), QStringLiteral("359"));
        } else if (how == QLatin1String("save")) {
            QTest::mouseClick(editor->BitBtnSave, Qt::LeftButton);
            QVERIFY(editor->isVisible());
        } else {
            editor->close();
            QVERIFY(!editor->isVisible());
        }
        QCOMPARE(settings().FAVAZ[2], stored);
        if (how != QLatin1String("tab")) {
            QCOMPARE(editor->SpinEdit[2]->text(), QString::number(stored));
            QCOMPARE(window->Button3->text(), QStringLiteral("North"));
        }
    }

    void typing()
    {
        settings().FAVTXT[1] = QStringLiteral("LongName9");
        createWindow();
        window->MenuFavClick();
        AzimuthEntry *entry = editor->SpinEdit[0];
        typeInto(entry, QStringLiteral("1a2.+"));
        QCOMPARE(entry->text(), QStringLiteral("12+"));
        QCOMPARE((*recorder)->beeps, QList<Beep>({Beep::Default, Beep::Default}));
        typeInto(entry, QStringLiteral("358"));
        QTest::keyClick(entry, Qt::Key_Up);
        QTest::keyClick(entry, Qt::Key_Up);
        QCOMPARE(entry->value(), 359);

        typeInto(editor->Edit[0], QStringLiteral("ABCDEFGHI"));
        QCOMPARE(editor->Edit[0]->text(), QStringLiteral("ABCDEFG"));
        // A longer name from the file can be shortened but not lengthened.
        NameEntry *longName = editor->Edit[1];
        longName->setCursorPosition(4);
        QTest::keyClicks(longName, QStringLiteral("x"));
        QCOMPARE(longName->text(), QStringLiteral("LongName9"));
        QTest::keyClick(longName, Qt::Key_Backspace);
        QCOMPARE(longName->text(), QStringLiteral("LonName9"));
        QTest::mouseClick(editor->BitBtnSave, Qt::LeftButton);
        QCOMPARE(window->Button1->text(), QStringLiteral("ABCDEFG"));
        QCOMPARE(settings().FAVTXT[1], QStringLiteral("LonName9"));
    }

    void quittingAppliesAnOpenEditor()
    {
        createWindow();
        window->MenuFavClick();
        window->MenuAngleClick();
        typeInto(editor->SpinEdit[0], QStringLiteral("77"));
        // The secondary windows do not keep the program running: the loop ends with the main window.
        bool stillRunning = false;
        QTimer::singleShot(0, window, [this] { window->close(); });
        QTimer::singleShot(20000, qApp, [&] {
            stillRunning = true;
            QCoreApplication::quit();
        });
        QApplication::exec();
        QVERIFY(!stillRunning);
        // Already applied while the main window's closing sequence runs, which ends by saving.
        QCOMPARE(favouriteAtStop, 77);
    }

    void enter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("autoOn");
        QTest::addColumn<QString>("azimuth");
        QTest::addColumn<Doubles>("commands");
        QTest::addColumn<QString>("shown");
        const int enter = Qt::Key_Return;
        QTest::newRow("45, MAN mode") << "45" << enter << false << "45" << Doubles() << "45";
        QTest::newRow("45 with keypad Enter") << "45" << int(Qt::Key_Enter) << false << "45" << Doubles() << "45";
        QTest::newRow("45, AUTO: the change and Enter each press MAN") << "45" << enter << true << "45" << Doubles({45, 45}) << "45";
        QTest::newRow("unchanged, AUTO: MAN once") << "77" << enter << true << "77" << Doubles({77}) << "77";
        QTest::newRow("leading blank kept: no echo") << " 45" << enter << false << "45" << Doubles() << " 45";
        // Refused: the azimuth shown stays, so that Enter again sends it, never 0.
        QTest::newRow("360 refused") << "360" << enter << true << "77" << Doubles() << "77";
        QTest::newRow("empty refused") << "" << enter << false << "77" << Doubles() << "77";
        QTest::newRow("-5 refused") << "-5" << enter << false << "77" << Doubles() << "77";
        QTest::newRow("letters refused") << "4x" << enter << false << "77" << Doubles() << "77";
    }

    void enter()
    {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(bool, autoOn);
        QFETCH(QString, shown);
        createWindow();
        window->UpDownAzi->setPosition(77);
        if (autoOn)
            window->BitBtnAuto->click();
        sent.clear();
        window->MenuAngleClick();
        QLineEdit *entry = angle->EditAngle;
        typeInto(entry, typed);
        QSignalSpy returnPressed(entry, &QLineEdit::returnPressed);
        QTest::keyClick(entry, Qt::Key(key));
        QCOMPARE(returnPressed.count(), 0);
        QTEST(window->EditAzimut->text(), "azimuth");
        QTEST(sent, "commands");
        QCOMPARE(entry->text(), shown);
        QCOMPARE(entry->selectedText(), shown);
        const bool refused = typed.trimmed() != window->EditAzimut->text();
        QCOMPARE((*recorder)->beeps, refused ? QList<Beep>({Beep::Default}) : QList<Beep>());
        if (!refused) {
            QTest::keyClicks(entry, QStringLiteral("90"));
            QTest::keyClick(entry, Qt::Key_Return);
            QCOMPARE(window->EditAzimut->text(), QStringLiteral("90"));
        }
    }

    void locatorWindow_data()
    {
        QTest::addColumn<bool>("french");
        QTest::addColumn<QString>("other");
        // Empty when the heading is refused.
        QTest::addColumn<QString>("distance");
        const QString far = QString::number(locator::path("JN18du", "FN31pr")->distance, 'f', 1);
        QTest::newRow("English, on a French system") << false << "FN31pr" << far;
        QTest::newRow("French, on an English system") << true << "FN31pr" << QString(far).replace(u'.', u',');
        QTest::newRow("the station's own locator") << false << "jn18DU" << QString();
        QTest::newRow("the square holding the station") << true << "JN18" << QString();
    }

    void locatorWindow()
    {
        QFETCH(bool, french);
        QFETCH(QString, other);
        QFETCH(QString, distance);
        QLocale::setDefault(french ? QLocale(QLocale::English, QLocale::UnitedStates) : QLocale(QLocale::French, QLocale::France));
        settings().MYLOCATOR = QStringLiteral("JN18du");
        createWindow();
        if (french)
            window->MenuFrancaisClick();
        window->MenuLocatorClick();
        TFormLocator *form = window->FormLocator;
        typeInto(form->EditLocator, other);
        (*recorder)->beeps.clear();
        QTest::keyClick(form->EditLocator, Qt::Key_Return);
        if (distance.isEmpty()) {
            QCOMPARE(sent, Doubles());
            QCOMPARE((*recorder)->beeps, QList<Beep>({Beep::Default}));
            QVERIFY(!form->LabelPaths->text().contains(QLatin1String("km")));
        } else {
            QCOMPARE(sent.size(), 1);
            QVERIFY2(form->LabelPaths->text().endsWith(u'\n' + distance + QStringLiteral(" km")), qPrintable(form->LabelPaths->text()));
        }
    }

    void focusComesBack_data()
    {
        QTest::addColumn<QString>("operation");
        for (const char *operation : {"favourite", "STOP", "AUTO", "MAN", "Ctrl+Num 8 long path"})
            QTest::newRow(operation) << operation;
    }

    void focusComesBack()
    {
        QFETCH(QString, operation);
        settings().FAVAZ[0] = 30;
        createWindow();
        window->MenuAngleClick();
        QTRY_COMPARE(focused(), angle->EditAngle);
        window->activateWindow();
        window->Button1->setFocus();
        QTRY_COMPARE(focused(), window->Button1);
        const std::map<QString, QPushButton *> buttons = {{QStringLiteral("favourite"), window->Button1},
                                                          {QStringLiteral("STOP"), window->BitBtnStop},
                                                          {QStringLiteral("AUTO"), window->BitBtnAuto},
                                                          {QStringLiteral("MAN"), window->ButtonTrack}};
        if (buttons.count(operation))
            QTest::mouseClick(buttons.at(operation), Qt::LeftButton);
        else
            QTest::keyClick(window->Button1, Qt::Key_8, ctrlKeypad);
        QTRY_COMPARE(focused(), angle->EditAngle);
    }

    void angleWindowAtStart_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QPoint>("position");
        QTest::newRow("design position, hidden") << 0 << 0 << 0 << QPoint(485, 116);
        QTest::newRow("stored top only") << 300 << 0 << 0 << QPoint(485, 300);
        QTest::newRow("stored place, shown and focused") << 300 << 40 << 1 << QPoint(40, 300);
    }

    void angleWindowAtStart()
    {
        QFETCH(int, shown);
        QFETCH(QPoint, position);
        QFETCH(int, top);
        settings().WATOP = top;
        QFETCH(int, left);
        settings().WALEFT = left;
        settings().WANGLE = shown;
        createWindow();
        QCOMPARE(angle->pos(), position);
        QCOMPARE(angle->isVisible(), shown == 1);
        if (shown)
            QTRY_COMPARE(focused(), angle->EditAngle);
    }

    void angleWindowOpens_data()
    {
        QTest::addColumn<bool>("keypad");
        QTest::newRow("menu Azimuth") << false;
        QTest::newRow("Ctrl+Num 7") << true;
    }

    void angleWindowOpens()
    {
        QFETCH(bool, keypad);
        createWindow();
        QPointer<TFormAngle> shown = angle;
        for (int time = 0; time < 2; ++time) {
            if (keypad)
                QTest::keyClick(window, Qt::Key_7, ctrlKeypad);
            else
                window->MenuAzimut->trigger();
            QVERIFY(shown->isVisible());
        }
        QCOMPARE(window->findChildren<TFormAngle *>().size(), 1);
        shown->close();
        QVERIFY(shown && !shown->isVisible());
    }

    void help_data()
    {
        QTest::addColumn<bool>("french");
        QTest::addColumn<QString>("exeDir");
        QTest::addColumn<bool>("programOpensIt");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("message");
        const QString here = QCoreApplication::applicationDirPath();
        QTest::newRow("English, beside the program") << false << "" << false << ""
                                                      << "Can't open the help page " + here + "/torvanel_en.htm";
        const QString prefix = installTree.path();
        const QString portable = prefix + QStringLiteral("/portable");
        QDir(prefix).mkpath(QStringLiteral("portable"));
        for (const char *name : {"/portable/torvanel_en.htm", "/portable/torvanel_fr.htm"})
            QFile(prefix + QLatin1String(name)).open(QIODevice::WriteOnly);
        QTest::newRow("English") << false << portable << true << portable + "/torvanel_en.htm" << "";
        QTest::newRow("French") << true << portable << true << portable + "/torvanel_fr.htm" << "";
        QTest::newRow("French page missing") << true << "/opt/torvanel" << true << ""
                                             << "Ne peut ouvrir la page d'aide /opt/torvanel/torvanel_fr.htm";
        QTest::newRow("ExeDir with delimiter, missing") << false << "/opt/torvanel/" << true << ""
                                                        << "Can't open the help page /opt/torvanel/torvanel_en.htm";
        QTest::newRow("no program opens it") << false << portable << false << ""
                                             << "Can't open the help page " + portable + "/torvanel_en.htm";
        // An installed program: no pages beside it, the installed ones in share/torvanel.
        QDir(prefix).mkpath(QStringLiteral("bin"));
        QDir(prefix).mkpath(QStringLiteral("share/torvanel"));
        QFile(prefix + QStringLiteral("/share/torvanel/torvanel_en.htm")).open(QIODevice::WriteOnly);
        QFile(prefix + QStringLiteral("/share/torvanel/torvanel_fr.htm")).open(QIODevice::WriteOnly);
        QTest::newRow("installed pages") << true << prefix + "/bin" << true
                                         << prefix + "/share/torvanel/torvanel_fr.htm" << "";
    }

    void help()
    {
        QFETCH(bool, french);
        QFETCH(QString, exeDir);
        QFETCH(bool, programOpensIt);
        QFETCH(QString, page);
        QFETCH(QString, message);
        QTemporaryDir elsewhere;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        createWindow();
        settings().ExeDir = exeDir;
        (*recorder)->opens = programOpensIt;
        (french ? window->MenuFrancais : window->MenuEnglish)->trigger();
        window->MenuFavClick();
        QVERIFY(becomesActive(editor));
        QTest::keyClick(editor->SpinEdit[0], Qt::Key_F1);
        QDir::setCurrent(previous);
        QCOMPARE((*recorder)->opened, page.isEmpty() ? QStringList() : QStringList({page}));
        QCOMPARE((*recorder)->messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE((*recorder)->messages.first().text, message);
    }

    void about()
    {
        createWindow();
        TFormInfo *box = window->FormInfo;
        window->MenuAPropos->trigger();
        window->MenuAPropos->trigger();
        QVERIFY(box->isVisible());
        QCOMPARE(window->findChildren<TFormInfo *>().size(), 1);
        QCOMPARE(box->Label1->text(), QStringLiteral("TORVANEL V2.4.1[DX]"));
        QTest::mouseClick(box->BitBtn1, Qt::LeftButton);
        QVERIFY(!box->isVisible());
        window->MenuAProposClick();
        QVERIFY(box->isVisible());
        QTest::mouseClick(box->SpeedButton1, Qt::LeftButton);
        QCOMPARE((*recorder)->opened, QStringList({TFormInfo::DonationAddress}));
    }

    void link()
    {
        TLabelUrl link;
        link.setUrl(QStringLiteral("https://example.org/rotators"));
        QCOMPARE(link.text(), QStringLiteral("https://example.org/rotators"));
        QStringList openedAtClick{QStringLiteral("not called")};
        link.OnClick = [&] { openedAtClick = (*recorder)->opened; };
        link.resize(200, 20);
        link.show();
        QVERIFY(QTest::qWaitForWindowExposed(&link));
        QTest::mouseClick(&link, Qt::RightButton);
        QVERIFY((*recorder)->opened.isEmpty());
        QTest::mouseClick(&link, Qt::LeftButton);
        QCOMPARE((*recorder)->opened, QStringList({QStringLiteral("https://example.org/rotators")}));
        QVERIFY(openedAtClick.isEmpty());
    }
};

QTEST_MAIN(TestFavouritesAngle)
#include "test_favourites_angle.moc"
