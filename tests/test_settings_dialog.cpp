#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/settings.h"
#include "platform/error.h"
#include "platform/serial_names.h"
#include "platform/ui_services.h"
#include "ports/recording_port_library.h"
#include "rotator/serial_drivers.h"
#include "tests/support/pseudo_terminal.h"
#include "ui/settings_dialog.h"
#include "ui/settings_dialog_pages.h"
#include "ui/tform1.h"

using platform::Beep;
using platform::MessageKind;
using Call = ports::RecordingPortLibrary::Call;

// The real dialog of a real main window; COM3 and COM5 are pseudo-terminals through comports/.
class TestSettingsDialog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void discoveryFillsEveryComGroup();
    void lptGroup_data();
    void lptGroup();
    void calibrationEdit_data();
    void calibrationEdit();
    void comGroupTestsThePort();
    void comGroupRefusesAPortThatDoesNotOpen_data();
    void comGroupRefusesAPortThatDoesNotOpen();
    void comGroupStopsTheOldPortFirst();
    void trakBoxPortTest();
    void valueFamiliesOnEveryMember();
    void offsetStoresWhatIsTyped();
    void baudListOnEveryMember();
    void baudListTakesPicksOnly_data();
    void baudListTakesPicksOnly();
    void goOnAnotherPageOnlyBeeps();
    void goSendsWithAutoOff();
    void parkingBoxes();
    void showFillsTheControls();
    void showSpeaksTheMenuLanguage();
    void parkingPushedOncePerShowing();
    void interfaceChangeRefusals();
    void closingStopTexts_data();
    void closingStopTexts();
    void closingParkingAndN1mm_data();
    void closingParkingAndN1mm();
    void closingSurvivesABindFailure();
    void closingRefusesAMissingMovenow();
    void firstActivationFillsTheDialog();
    void opensAndStaysAtItsDesignSize();
    void stationLocatorCheckedAsTyped();
    void hamlibPage_data();
    void hamlibPage();
    void hamlibModelTypedAndRates_data();
    void hamlibModelTypedAndRates();
    void travelRow_data();
    void travelRow();
    void unwindServesTheSelectedOverlap();

private:
    // Selects an interface with its port item COMn (the port test runs).
    void selectInterface(int rotator, const QString &port);
    int comItem(int rotator, const QString &port) const;

    QTemporaryDir folder;
    PseudoTerminal *com3 = nullptr;
    PseudoTerminal *com5 = nullptr;
    platform::ScopedRecordingUi *ui = nullptr;
    ports::ScopedRecordingPortLibrary *library = nullptr;
    TForm1 *window = nullptr;
    TFormInit *dialog = nullptr;
};

void TestSettingsDialog::init()
{
    settings() = Settings();
    com3 = new PseudoTerminal;
    com5 = new PseudoTerminal;
    com3->linkAs(folder.path(), 3);
    com5->linkAs(folder.path(), 5);
    platform::setComportsParent(folder.path());
    ui = new platform::ScopedRecordingUi;
    library = new ports::ScopedRecordingPortLibrary;
    window = new TForm1;
    dialog = window->FormInit;
    settings().ExeDir = folder.path();
    settings().LptName = {QStringLiteral("LPT1"), QString(), QString()};
    settings().LptAddress = {0x378, 0, 0};
    settings().PortDriverPresent = true;
    (*ui)->clear();
    (*library)->clear();
}

void TestSettingsDialog::cleanup()
{
    delete window;
    delete library;
    delete ui;
    delete com3;
    delete com5;
    QDir(folder.path() + QStringLiteral("/comports")).removeRecursively();
}

int TestSettingsDialog::comItem(int rotator, const QString &port) const
{
    RadioGroup *group = dialog->comGroup(rotator);
    for (int i = 0; i < group->count(); ++i) {
        if (group->itemText(i) == port)
            return i;
    }
    return -1;
}

void TestSettingsDialog::selectInterface(int rotator, const QString &port)
{
    if (!port.isEmpty())
        dialog->comGroup(rotator)->setItemIndex(comItem(rotator, port));
    dialog->RadioGroupRotor->setItemIndex(rotator);
    com3->drain(20);
    com5->drain(20);
    (*ui)->clear();
    (*library)->clear();
}

void TestSettingsDialog::discoveryFillsEveryComGroup()
{
    for (int rotator : {GS232, EasyComm, TrakBox, ProSisTel, DCU1, M2Orion, EGIS}) {
        QVERIFY2(comItem(rotator, QStringLiteral("COM3")) >= 0, qPrintable(interfaceKeyWord(rotator)));
        QVERIFY(comItem(rotator, QStringLiteral("COM3")) < comItem(rotator, QStringLiteral("COM5")));
    }
    QVERIFY(!dialog->comGroup(KCT));
}

void TestSettingsDialog::lptGroup_data()
{
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("item");
    QTest::addColumn<bool>("driverPresent");
    QTest::addColumn<bool>("boardSelected");
    QTest::addColumn<int>("setting");
    QTest::addColumn<int>("selection");
    QTest::addColumn<int>("errorBoxes");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("driver missing: refused, setting kept") << int(PourSat) << 1 << false << true << 2 << -1 << 1 << false;
    QTest::newRow("absent port: cleared") << int(PourSat) << 1 << true << true << -1 << -1 << 0 << false;
    QTest::newRow("present port of the selected board: access granted")
        << int(PourSat) << 0 << true << true << 0 << 0 << 0 << true;
    QTest::newRow("FODTrack, board not selected: no access") << int(FODTrack) << 0 << true << false << 0 << 0 << 0 << false;
    QTest::newRow("FODTrack selected: access granted") << int(FODTrack) << 0 << true << true << 0 << 0 << 0 << true;
}

void TestSettingsDialog::lptGroup()
{
    QFETCH(int, board);
    QFETCH(int, item);
    QFETCH(bool, driverPresent);
    QFETCH(bool, boardSelected);
    QFETCH(int, setting);
    QFETCH(int, selection);
    QFETCH(int, errorBoxes);
    QFETCH(bool, enabled);
    Settings &s = settings();
    if (boardSelected)
        dialog->RadioGroupRotor->setItemIndex(board);
    s.LPT_POURSAT = s.LPT_FODTRACK = 2;
    (*library)->clear();
    (*ui)->clear();
    s.PortDriverPresent = driverPresent;
    RadioGroup *group = board == PourSat ? dialog->RadioGroupHNVLPT : dialog->RadioGroupFODLPT;
    group->setItemIndex(item);
    QCOMPARE(board == PourSat ? s.LPT_POURSAT : s.LPT_FODTRACK, setting);
    QCOMPARE(group->itemIndex(), selection);
    QCOMPARE((*ui)->messages.size(), errorBoxes);
    if (errorBoxes) {
        QCOMPARE((*ui)->messages.first().kind, MessageKind::Error);
        QCOMPARE((*ui)->messages.first().text, s.MsgPortDriverMissing);
        QCOMPARE((*ui)->beeps, QList<Beep>{Beep::Default});
    }
    QCOMPARE((*library)->calls.contains(Call{QStringLiteral("EnablePorts"), {0x378, 0x378}}), enabled);
}

void TestSettingsDialog::calibrationEdit_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("stored");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<QString>("shown");
    QTest::newRow("zero 90 accepted") << "EditHNVZero" << "C" << "90" << 90.0 << 0 << "90";
    QTest::newRow("zero -90 accepted") << "EditFODZero" << "C" << "-90" << -90.0 << 0 << "-90";
    QTest::newRow("zero 90.5 refused") << "EditHNVZero" << "C" << "90.5" << 0.0 << 1 << "";
    QTest::newRow("zero -91 refused") << "EditFODZero" << "C" << "-91" << 0.0 << 1 << "";
    QTest::newRow("letters give 0 silently") << "EditHNVZero" << "C" << "abc" << 0.0 << 0 << "abc";
    QTest::newRow("calibration has no range") << "EditHNVCalAz" << "C" << "120" << 120.0 << 0 << "120";
    QTest::newRow("comma locale: point is no number") << "EditFODCalAz" << "de_DE" << "0.5" << 0.0 << 0 << "0.5";
    QTest::newRow("comma locale: comma reads") << "EditFODCalAz" << "de_DE" << "0,5" << 0.5 << 0 << "0,5";
}

void TestSettingsDialog::calibrationEdit()
{
    QFETCH(QString, edit);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(double, stored);
    QFETCH(int, beeps);
    QFETCH(QString, shown);
    QLocale::setDefault(QLocale(locale));
    const QHash<QString, std::pair<QLineEdit *, long double Settings::*>> edits = {
        {"EditHNVZero", {dialog->EditHNVZero, &Settings::ZERO_POURSAT}},
        {"EditFODZero", {dialog->EditFODZero, &Settings::ZERO_FODTRACK}},
        {"EditHNVCalAz", {dialog->EditHNVCalAz, &Settings::CALAZ_POURSAT}},
        {"EditFODCalAz", {dialog->EditFODCalAz, &Settings::CALAZ_FODTRACK}}};
    auto [line, setting] = edits.value(edit);
    settings().*setting = 7;
    line->setText(text);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(double(settings().*setting), stored);
    QCOMPARE((*ui)->beeps.size(), beeps);
    QCOMPARE(line->text(), shown);
}

void TestSettingsDialog::comGroupTestsThePort()
{
    dialog->RadioGroupPortGS->setItemIndex(comItem(GS232, QStringLiteral("COM3")));
    QCOMPARE(settings().PORT_GS232, 2);
    QVERIFY(!window->serial->channel(GS232).connected());
    QCOMPARE(com3->drain(50), QByteArray());
}

void TestSettingsDialog::comGroupRefusesAPortThatDoesNotOpen_data()
{
    QTest::addColumn<int>("startPort"); // EGIS's port at start
    QTest::addColumn<int>("expected");
    QTest::newRow("another port picked: refused") << 2 << -1;
    QTest::newRow("the port chosen at start, unplugged since: kept") << 4 << 4;
}

// COM5's adapter is unplugged during the run; then COM5 is picked, or the dialog shows and
// closes, which tests the selected interface's port again.
void TestSettingsDialog::comGroupRefusesAPortThatDoesNotOpen()
{
    QFETCH(int, startPort);
    QFETCH(int, expected);
    settings().PORT_EGIS = startPort;
    settings().ANT = EGIS;
    window->FormActivate();
    delete com5;
    com5 = nullptr;
    if (startPort == 4) {
        window->MenuInitClick();
        QVERIFY(dialog->close());
    } else {
        dialog->RadioGroupPortEGI->setItemIndex(comItem(EGIS, QStringLiteral("COM5")));
    }
    QCOMPARE(dialog->RadioGroupPortEGI->itemIndex(), expected < 0 ? -1 : comItem(EGIS, QStringLiteral("COM5")));
    QCOMPARE(settings().PORT_EGIS, expected);
    QVERIFY((*ui)->messages.isEmpty());
}

void TestSettingsDialog::comGroupStopsTheOldPortFirst()
{
    SerialChannel &channel = window->serial->channel(GS232);
    channel.setPortName(QStringLiteral("COM5"));
    channel.open();
    dialog->RadioGroupPortGS->setItemIndex(comItem(GS232, QStringLiteral("COM3")));
    QCOMPARE(com5->read(2), QByteArray("S\r"));
    QCOMPARE(settings().PORT_GS232, 2);
}

void TestSettingsDialog::trakBoxPortTest()
{
    dialog->RadioGroupPortTKB->setItemIndex(comItem(TrakBox, QStringLiteral("COM5")));
    QCOMPARE(com5->read(4), QByteArray("Q\r7\r"));
    QCOMPARE(settings().PORT_TRAKBOX, 4);
    QVERIFY(!window->serial->channel(TrakBox).connected());
}

// Stop sides, minimum steps and offsets, driven through every member's own control.
void TestSettingsDialog::valueFamiliesOnEveryMember()
{
    Settings &s = settings();
    int stopGroups = 0;
    for (const InterfacePage &page : interfacePages()) {
        const QByteArray name = interfaceKeyWord(page.rotator).toLatin1();
        if (page.stopSetting) {
            page.stop.of(*dialog)->setItemIndex(SouthStop);
            QVERIFY2(s.*page.stopSetting == SouthStop, name);
            page.stop.of(*dialog)->setItemIndex(NorthStop);
            QVERIFY2(s.*page.stopSetting == NorthStop, name);
            ++stopGroups;
        }
        page.step.of(*dialog)->setValue(4);
        QVERIFY2(s.*page.stepSetting == 4, name);
        if (page.offset) {
            page.offset.of(*dialog)->setValue(-7);
            QVERIFY2(s.*page.offsetSetting == -7, name);
        }
    }
    QCOMPARE(stopGroups, 10);
    // The KCT group shows its setting but stores nothing.
    dialog->RadioGroupKCTbutee->setItemIndex(SouthStop);
    QCOMPARE(s.STOP_KCT, int(NorthStop));
    QVERIFY(dialog->runHandler(QStringLiteral("SpinEditM2AzOffsetChange")));
    QVERIFY(!dialog->runHandler(QStringLiteral("RadioGroupKCTbuteeClick")));
}

void TestSettingsDialog::offsetStoresWhatIsTyped()
{
    QSpinBox *offset = dialog->SpinEditM2AzOffset;
    offset->setValue(12);
    offset->findChild<QLineEdit *>()->clear();
    QTest::keyClick(offset, Qt::Key_Minus);
    QCOMPARE(settings().AZOFFSET_M2ORION, -30);
    QTest::keyClick(offset, Qt::Key_5);
    QCOMPARE(settings().AZOFFSET_M2ORION, -5);
}

void TestSettingsDialog::baudListOnEveryMember()
{
    for (const InterfacePage &page : interfacePages()) {
        QComboBox *list = page.baud.of(*dialog);
        // Hamlib has no channel of its own: it takes the rate when it opens the port.
        if (!list || page.rotator == Hamlib)
            continue;
        SerialChannel &channel = window->serial->channel(page.rotator);
        channel.setPortName(QStringLiteral("COM3"));
        channel.open();
        list->setCurrentIndex(6);
        emit list->activated(6);
        const BaudSetting &baud = settings().*page.baudSetting;
        QVERIFY(!channel.connected());
        QCOMPARE(channel.baudRate(), 9600);
        QCOMPARE(baud.BaudIndex, 6);
        QCOMPARE(baud.text, QStringLiteral("9600"));
    }
    // A selection by program runs nothing.
    dialog->ComboBoxBaudGS->setCurrentIndex(2);
    QCOMPARE(settings().BAUD_GS232.text, QStringLiteral("9600"));
}

void TestSettingsDialog::baudListTakesPicksOnly_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("applied");
    QTest::newRow("digits and Enter: nothing") << "12\r" << "";
    QTest::newRow("leaving the field: nothing") << "\t" << "";
    QTest::newRow("arrow key picks the next item") << "down" << "110";
    QTest::newRow("a click in the list picks") << "click 9600" << "9600";
}

// The list shows its design text with no item designated; only a pick from the list applies.
void TestSettingsDialog::baudListTakesPicksOnly()
{
    QFETCH(QString, keys);
    QFETCH(QString, applied);
    QComboBox *list = dialog->ComboBoxBaudGS;
    settings().BAUD_GS232 = {QStringLiteral("38400"), 3};  // not in the list: "4800" stays shown
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    SerialChannel &channel = window->serial->channel(GS232);
    channel.setPortName(QStringLiteral("COM3"));
    channel.open();
    const BaudSetting before = settings().BAUD_GS232;
    dialog->PageControlAntenne->setCurrentIndex(GS232);
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());
    if (keys == QLatin1String("down")) {
        QTest::keyClick(list, Qt::Key_Down);
    } else if (keys.startsWith(QLatin1String("click "))) {
        list->showPopup();
        QAbstractItemView *view = list->view();
        QTRY_VERIFY(view->isVisible());
        const QRect item = view->visualRect(view->model()->index(list->findText(keys.mid(6)), 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    } else {
        QTest::keyClicks(list, keys);
    }
    QApplication::processEvents();
    const BaudSetting &baud = settings().BAUD_GS232;
    if (applied.isEmpty()) {
        QCOMPARE(list->currentText(), QStringLiteral("4800"));
        QCOMPARE(list->currentIndex(), -1);
        QCOMPARE(baud.text, before.text);
        QCOMPARE(baud.BaudIndex, before.BaudIndex);
        QVERIFY(channel.connected());
    } else {
        QCOMPARE(list->currentText(), applied);
        QCOMPARE(baud.text, applied);
        QCOMPARE(baud.BaudIndex, list->findText(applied));
        QVERIFY(!channel.connected());
    }
}

void TestSettingsDialog::goOnAnotherPageOnlyBeeps()
{
    selectInterface(KCT, QString());  // refused: no Movenow, nothing selected
    (*ui)->clear();
    for (const InterfacePage &page : interfacePages()) {
        settings().LastAzimuth = 5;
        page.test.of(*dialog)->setValue(90);
        QTest::mouseClick(page.go.of(*dialog), Qt::LeftButton);
        QVERIFY(!settings().TestRequest);
        QCOMPARE(settings().LastAzimuth, 5.0L);
    }
    QCOMPARE((*ui)->beeps.size(), InterfaceCount);
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("0"));
}

void TestSettingsDialog::goSendsWithAutoOff()
{
    window->FormActivate();
    selectInterface(GS232, QStringLiteral("COM3"));
    QVERIFY(!window->autoOn());
    dialog->SpinEditAzTestGS->setValue(90);
    QTest::mouseClick(dialog->BitBtnTestGS, Qt::LeftButton);
    QCOMPARE(com3->read(5), QByteArray("W090\r"));
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("90"));
    QVERIFY(!settings().TestRequest);
    // The "+ el=0" box reaches the driver at once.
    dialog->CheckBoxGSel->setChecked(true);
    dialog->SpinEditAzTestGS->setValue(100);
    QTest::mouseClick(dialog->BitBtnTestGS, Qt::LeftButton);
    QCOMPARE(com3->read(9), QByteArray("W100 000\r"));
    // The same azimuth with another stop side or offset is another command: it goes out
    // whatever the minimum step, from GO as from MAN.
    dialog->SpinEditStepGS->setValue(5);
    dialog->RadioGroupGSbutee->setItemIndex(1);
    QTest::mouseClick(dialog->BitBtnTestGS, Qt::LeftButton);
    QCOMPARE(com3->read(9), QByteArray("W280 000\r"));
    dialog->SpinEditGSAzOffset->setValue(10);
    window->ButtonTrackClick();
    QCOMPARE(com3->read(9), QByteArray("W270 000\r"));

    // On a parallel board the test grants access to the chosen port first.
    dialog->RadioGroupHNVLPT->setItemIndex(0);
    selectInterface(PourSat, QString());
    QTest::mouseClick(dialog->BitBtnTestHNV, Qt::LeftButton);
    QCOMPARE((*library)->calls.first(), (Call{QStringLiteral("EnablePorts"), {0x378, 0x378}}));
}

void TestSettingsDialog::parkingBoxes()
{
    Settings &s = settings();
    selectInterface(GS232, QStringLiteral("COM3"));
    for (const InterfacePage &page : interfacePages()) {
        if (page.rotator == GS232)
            continue;
        s.PARKING = 0;
        (*ui)->clear();
        page.park.of(*dialog)->setChecked(true);
        QVERIFY(!page.park.of(*dialog)->isChecked());
        QCOMPARE((*ui)->beeps.size(), 2);
        QCOMPARE(s.PARKING, 0);
    }
    dialog->SpinEditAzTestGS->setValue(185);
    dialog->CheckBoxParkGS->setChecked(true);
    QCOMPARE(s.PARKING, 4);
    QCOMPARE(s.AZIMUT_PARKING, 185.0L);
    s.PARKING = 0;
    dialog->CheckBoxParkGS->setChecked(false);
    QCOMPARE(s.PARKING, 4);
}

void TestSettingsDialog::showFillsTheControls()
{
    Settings &s = settings();
    s.STEP_FODTRACK = 3;
    s.ZERO_POURSAT = 120;
    s.CALAZ_POURSAT = 0.51389012345L;
    s.JINGLE = true;
    s.PORT_DCU1 = 4;
    s.STOP_DCU1 = SouthStop;
    s.AZOFFSET_DCU1 = -12;
    s.BAUD_DCU1 = {QStringLiteral("1200"), 0};
    s.BAUD_EASYCOMM = {QStringLiteral("38400"), 3};
    dialog->show();
    QCOMPARE(dialog->SpinEditStepFODtrack->value(), 3);
    QCOMPARE(dialog->EditHNVZero->text(), QString());
    QCOMPARE(double(s.ZERO_POURSAT), 0.0);
    QCOMPARE((*ui)->beeps, QList<Beep>{Beep::Default});
    QCOMPARE(dialog->EditHNVCalAz->text(), QStringLiteral("0.5138901"));
    QCOMPARE(double(s.CALAZ_POURSAT), 0.5138901);
    QVERIFY(dialog->CheckBoxEnvoiCommande->isChecked());
    QCOMPARE(dialog->RadioGroupPortDCU->itemText(dialog->RadioGroupPortDCU->itemIndex()), QStringLiteral("COM5"));
    QCOMPARE(dialog->RadioGroupDCUButee->itemIndex(), int(SouthStop));
    QCOMPARE(dialog->SpinEditDCUAzOffset->value(), -12);
    QCOMPARE(window->serial->channel(DCU1).baudRate(), 1200);
    QCOMPARE(s.BAUD_DCU1.BaudIndex, 3);
    // A text the list does not hold leaves no index.
    QCOMPARE(s.BAUD_EASYCOMM.BaudIndex, -1);
    QCOMPARE(dialog->RadioGroupRotor->itemIndex(), -1);

    dialog->CheckBoxEnvoiCommande->setChecked(false);
    QVERIFY(!s.JINGLE);
}

void TestSettingsDialog::showSpeaksTheMenuLanguage()
{
    window->MenuFrancais->trigger();
    dialog->show();
    QCOMPARE(dialog->LabelParkKCT->text(), QStringLiteral("Position parking"));
    QCOMPARE(dialog->LabelParkEA->text(), QStringLiteral("use for parking"));
    QCOMPARE(dialog->LabelStepEGI->text(), QString::fromUtf8("Pas mini°"));
    QCOMPARE(settings().MsgKctMissing, QString::fromUtf8("Movenow.com pas trouvé !"));
    dialog->hide();
    window->MenuEnglish->trigger();
    dialog->show();
    QCOMPARE(dialog->LabelParkKCT->text(), QStringLiteral("Use for parking"));
    QCOMPARE(settings().MsgChooseComPort, QStringLiteral("Please choose a COM port for this interface"));
}

void TestSettingsDialog::parkingPushedOncePerShowing()
{
    Settings &s = settings();
    s.PORT_GS232 = 2;
    dialog->RadioGroupPortGS->setItemIndex(comItem(GS232, QStringLiteral("COM3")));
    s.ANT = GS232;
    s.PARKING = 4;
    s.AZIMUT_PARKING = 182.5L;
    dialog->show();
    QTRY_VERIFY(dialog->CheckBoxParkGS->isChecked());
    QCOMPARE(dialog->SpinEditAzTestGS->value(), 182);
    QCOMPARE(s.AZIMUT_PARKING, 182.0L);
    dialog->SpinEditAzTestGS->setValue(45);
    dialog->FormActivate();
    QCOMPARE(dialog->SpinEditAzTestGS->value(), 45);
}

void TestSettingsDialog::interfaceChangeRefusals()
{
    Settings &s = settings();
    s.ANT = EasyComm;
    s.LastAzimuth = 5;
    dialog->RadioGroupRotor->setItemIndex(KCT);
    QCOMPARE((*ui)->messages.size(), 1);
    QCOMPARE((*ui)->messages.first().kind, MessageKind::Warning);
    QCOMPARE((*ui)->messages.first().text, s.MsgKctMissing);
    QCOMPARE(dialog->RadioGroupRotor->itemIndex(), -1);
    QCOMPARE(s.ANT, int(EasyComm));

    (*ui)->clear();
    dialog->RadioGroupRotor->setItemIndex(GS232);
    QCOMPARE((*ui)->messages.size(), 1);
    QCOMPARE((*ui)->messages.first().text, s.MsgChooseComPort);
    QCOMPARE(s.ANT, -1);
    QCOMPARE(s.LastAzimuth, -10.0L);

    // With Movenow.com in the directory, KCT is accepted.
    QFile program(folder.path() + QStringLiteral("/kct/Movenow.com"));
    QDir(folder.path()).mkpath(QStringLiteral("kct"));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.close();
    dialog->EditKctMove->setText(folder.path() + QStringLiteral("/kct/"));
    dialog->RadioGroupRotor->setItemIndex(KCT);
    QCOMPARE(s.ANT, int(KCT));
    QCOMPARE(dialog->PageControlAntenne->currentIndex(), int(KCT));
}

void TestSettingsDialog::closingStopTexts_data()
{
    QTest::addColumn<int>("rotator");
    QTest::addColumn<QByteArray>("texts");
    QTest::newRow("GS-232") << int(GS232) << QByteArray("SA\r");
    QTest::newRow("EasyComm") << int(EasyComm) << QByteArray("SA\r");
    QTest::newRow("ProSisTel") << int(ProSisTel) << QByteArray("\x02" "AG977\r");
    QTest::newRow("TrakBox: only closed") << int(TrakBox) << QByteArray();
    QTest::newRow("DCU-1") << int(DCU1) << QByteArray(";\r");
    QTest::newRow("M2-ORION") << int(M2Orion) << QByteArray("A\rS\rN\r");
    QTest::newRow("EGIS") << int(EGIS) << QByteArray("AZ=S\r");
}

void TestSettingsDialog::closingStopTexts()
{
    QFETCH(int, rotator);
    QFETCH(QByteArray, texts);
    selectInterface(rotator, QStringLiteral("COM3"));
    SerialChannel &selected = window->serial->channel(rotator);
    selected.setPortName(QStringLiteral("COM3"));
    selected.open();
    // Another interface's open port is closed without a word.
    const int other = rotator == GS232 ? EGIS : GS232;
    SerialChannel &otherChannel = window->serial->channel(other);
    otherChannel.setPortName(QStringLiteral("COM5"));
    otherChannel.open();
    QVERIFY(dialog->FormClose());
    QCOMPARE(com3->drain(), texts);
    QCOMPARE(com5->drain(), QByteArray());
    QVERIFY(!selected.connected());
    QVERIFY(!otherChannel.connected());
}

void TestSettingsDialog::closingParkingAndN1mm_data()
{
    QTest::addColumn<QString>("antenna");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("selected");
    QTest::newRow("antenna 0") << "0" << "12040" << false << "0";
    QTest::newRow("antenna 17") << "17" << "12040" << false << "17";
    QTest::newRow("antenna a letter") << "x" << "12040" << false << "x";
    QTest::newRow("port 0") << "16" << "0" << false << "0";
    QTest::newRow("port 50001") << "16" << "50001" << false << "50001";
    QTest::newRow("highest values") << "16" << "50000" << true << "";
}

void TestSettingsDialog::closingParkingAndN1mm()
{
    QFETCH(QString, antenna);
    QFETCH(QString, port);
    QFETCH(bool, closes);
    QFETCH(QString, selected);
    Settings &s = settings();
    selectInterface(GS232, QStringLiteral("COM3"));
    dialog->CheckBoxParkPro->setChecked(true);  // another page's box does not count
    s.PARKING = 8;
    s.TestRequest = true;
    QList<quint16> moved;
    int ddeEnabled = 0;
    connect(dialog, &TFormInit::moveN1mmListener, this, [&](quint16 listening) { moved << listening; });
    connect(dialog, &TFormInit::enableDdeTimer, this, [&] { ++ddeEnabled; });
    dialog->EditAntN1MM->setText(antenna);
    dialog->EditPortN1MM->setText(port);
    (*ui)->clear();
    QCOMPARE(dialog->FormClose(), closes);
    QCOMPARE(s.PARKING, 0);
    QVERIFY(!s.TestRequest);
    QCOMPARE(ddeEnabled, 1);
    if (closes) {
        QCOMPARE(moved, QList<quint16>{50016});
        QCOMPARE(window->Label1->text(), QStringLiteral("Defaultport=50016"));
        QCOMPARE(s.N1mmAntenna, quint16(16));
    } else {
        QVERIFY(moved.isEmpty());
        QCOMPARE((*ui)->beeps, QList<Beep>{Beep::Default});
        QLineEdit *faulty = dialog->EditAntN1MM->text() == selected ? dialog->EditAntN1MM : dialog->EditPortN1MM;
        QCOMPARE(faulty->selectedText(), selected);
    }
}

void TestSettingsDialog::stationLocatorCheckedAsTyped()
{
    Settings &s = settings();
    s.MYLOCATOR = QStringLiteral("FN31pr");
    dialog->FormShow();
    dialog->show();
    QCOMPARE(dialog->EditMyLocator->text(), QStringLiteral("FN31pr"));
    dialog->EditMyLocator->clear();
    dialog->EditMyLocator->setFocus();
    (*ui)->clear();
    // A letter where a digit belongs is not typed.
    QTest::keyClicks(dialog->EditMyLocator, QStringLiteral("jnx1"));
    QCOMPARE(dialog->EditMyLocator->text(), QStringLiteral("jn1"));
    QCOMPARE((*ui)->beeps, QList<Beep>{Beep::Default});
    QVERIFY(dialog->LabelLocatorHint->isVisible());
    // Half a locator is never stored.
    QVERIFY(!dialog->FormClose());
    QCOMPARE(s.MYLOCATOR, QStringLiteral("FN31pr"));
    QTest::keyClicks(dialog->EditMyLocator, QStringLiteral("8DU"));
    QVERIFY(!dialog->LabelLocatorHint->isVisible());
    QVERIFY(dialog->FormClose());
    QCOMPARE(s.MYLOCATOR, QStringLiteral("JN18du"));
}

void TestSettingsDialog::closingSurvivesABindFailure()
{
    connect(dialog, &TFormInit::moveN1mmListener, this,
            [](quint16) { throw TorvanelError(QStringLiteral("port in use")); });
    dialog->show();
    QVERIFY(dialog->close());
    QVERIFY(!dialog->isVisible());
    QCOMPARE((*ui)->messages.last().text, QStringLiteral("port in use"));
}

void TestSettingsDialog::closingRefusesAMissingMovenow()
{
    Settings &s = settings();
    QDir(folder.path()).mkpath(QStringLiteral("kct"));
    QFile program(folder.path() + QStringLiteral("/kct/Movenow.com"));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.close();
    dialog->EditKctMove->setText(folder.path() + QStringLiteral("/kct/"));
    selectInterface(KCT, QString());
    dialog->EditKctMove->setText(folder.path() + QStringLiteral("/kct"));
    s.PARKING = 7;
    dialog->show();
    QVERIFY(!dialog->close());
    QVERIFY(dialog->isVisible());
    QCOMPARE(s.ANT, -1);
    QCOMPARE(s.PARKING, -1);
    QCOMPARE((*ui)->messages.last().text, s.MsgKctMissing);
}

void TestSettingsDialog::firstActivationFillsTheDialog()
{
    Settings &s = settings();
    s.LPT_FODTRACK = 0;
    s.EL_GS232 = true;
    s.TKB_HOST = true;
    s.MOVENOW = QStringLiteral("/opt/kct/");
    s.PORT_M2ORION = 4;
    s.PORT_EGIS = 8;  // COM9 is not there
    s.ANT = EGIS;
    s.BAUD_GS232 = {QStringLiteral("9600"), 6};
    // No BAUD_ line for EasyComm; rates the table lacks for DCU-1 and TrakBox.
    s.BAUD_DCU1 = {QStringLiteral("31250"), 0};
    s.BAUD_TRAKBOX = {QStringLiteral("fast"), 0};
    window->FormActivate();
    QCOMPARE(dialog->RadioGroupFODLPT->itemText(0), QStringLiteral("LPT1 [0378h]"));
    QCOMPARE(dialog->RadioGroupHNVLPT->itemText(1), QStringLiteral("          [0000h]"));
    QCOMPARE(dialog->RadioGroupFODLPT->itemIndex(), 0);
    QCOMPARE(dialog->RadioGroupHNVLPT->itemIndex(), -1);
    QVERIFY(dialog->CheckBoxGSel->isChecked());
    QVERIFY(dialog->CheckBoxTKBHost->isChecked());
    QCOMPARE(dialog->EditKctMove->text(), s.MOVENOW);
    QCOMPARE(window->serial->channel(GS232).baudRate(), 9600);
    QCOMPARE(window->serial->channel(EasyComm).baudRate(), 4800);
    QCOMPARE(window->serial->channel(DCU1).baudRate(), 31250);
    QCOMPARE(window->serial->channel(TrakBox).baudRate(), 4800);
    QCOMPARE(s.BAUD_TRAKBOX.text, QStringLiteral("4800"));
    QCOMPARE(dialog->RadioGroupPortM2->itemText(dialog->RadioGroupPortM2->itemIndex()), QStringLiteral("COM5"));
    QCOMPARE(s.PORT_EGIS, -1);
    QCOMPARE(s.ANT, -1);

    dialog->CheckBoxCPMoff->setChecked(true);
    selectInterface(ProSisTel, QStringLiteral("COM3"));
    window->ButtonTrackClick();
    QVERIFY(com3->read(11).startsWith(QByteArray("\x02" "AS\r\x02" "AG")));
}

// Designed for a 426 by 356 client area: nothing in either language, on any page, asks for
// more, so the dialog opens at that size and never grows by itself.
void TestSettingsDialog::opensAndStaysAtItsDesignSize()
{
    // The design's size, with rows for the station's locator, the PST server and the heading
    // sent to N1MM, room for a twelfth interface, and each page's travel row.
    const QSize design(426, 535);
    window->FormActivate();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    const QSize opened = dialog->size();
    const QSize minimum = dialog->minimumSizeHint();
    // Every interface shows without scrolling the list.
    QCOMPARE(dialog->RadioGroupRotor->findChild<QScrollArea *>()->verticalScrollBar()->maximum(), 0);
    QVERIFY2(minimum.width() <= design.width() && minimum.height() <= design.height(),
             qPrintable(QStringLiteral("minimum %1x%2").arg(minimum.width()).arg(minimum.height())));
    QVERIFY(opened.width() >= design.width() && opened.width() <= 440);
    QVERIFY(opened.height() >= design.height() && opened.height() <= 549);
    selectInterface(TrakBox, QStringLiteral("COM5"));
    QCOMPARE(dialog->size(), opened);
    for (QAction *language : {window->MenuFrancais, window->MenuEnglish}) {
        language->trigger();
        dialog->hide();
        dialog->show();
        for (int page = 0; page < dialog->PageControlAntenne->count(); ++page) {
            dialog->PageControlAntenne->setCurrentIndex(page);
            QApplication::processEvents();
            QCOMPARE(dialog->size(), opened);
            // Readable: no control of the page is squeezed below what it needs.
            for (QWidget *control : dialog->PageControlAntenne->widget(page)->findChildren<QWidget *>()) {
                QWidget *owner = control->parentWidget();
                if (!control->isVisible() || control->objectName().startsWith(QLatin1String("qt_"))
                    || qobject_cast<QComboBox *>(owner) || qobject_cast<QAbstractSpinBox *>(owner))
                    continue;
                const QSize needed = control->minimumSizeHint();
                const int neededHeight = control->hasHeightForWidth()
                    ? control->heightForWidth(control->width()) : needed.height();
                QVERIFY2(control->width() >= needed.width() && control->height() >= neededHeight,
                         qPrintable(language->text() + QLatin1Char(' ') + control->metaObject()->className()
                                    + QLatin1Char(' ') + control->objectName()));
            }
        }
    }
}

void TestSettingsDialog::hamlibPage_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("deviceField");
    // A network model's travel is its server's, known only once it is opened.
    QTest::addColumn<QString>("modelTravel");
    QTest::newRow("network model, no COM port needed") << "net ROT" << 2 << "" << int(Hamlib) << true << "";
    QTest::newRow("serial model without a COM port refused") << "232b" << 603 << "" << -1 << false
                                                             << "Model: -180 to 450°";
    QTest::newRow("serial model on COM5, no port test") << "603" << 603 << "COM5" << int(Hamlib) << false
                                                        << "Model: -180 to 450°";
}

void TestSettingsDialog::hamlibPage()
{
    QFETCH(QString, search);
    QFETCH(int, model);
    QFETCH(QString, port);
    QFETCH(int, selected);
    QFETCH(bool, deviceField);
    QFETCH(QString, modelTravel);
    QComboBox *models = dialog->ComboBoxHamlibModel;
    // Any part of an entry finds it, whatever its case.
    QCompleter *completer = models->completer();
    completer->setCompletionPrefix(search);
    QStringList found;
    for (int row = 0; completer->setCurrentRow(row); ++row)
        found << completer->currentCompletion();
    const int index = models->findData(model);
    QVERIFY2(found.contains(models->itemText(index)), qPrintable(found.join(u'|')));
    models->setCurrentIndex(index);
    emit models->activated(index);
    QCOMPARE(settings().HAMLIB_MODEL, model);
    QCOMPARE(dialog->EditHamlibDevice->isEnabled(), deviceField);
    QCOMPARE(dialog->RadioGroupPortHamlib->isEnabled(), !deviceField);
    QComboBox *travels = dialog->travelRows[Hamlib].list;
    QCOMPARE(travels->itemText(travels->count() - 2), modelTravel.isEmpty() ? QString::fromUtf8("-180 to 180°") : modelTravel);
    dialog->EditHamlibDevice->setText(QStringLiteral("shack:4533"));
    QCOMPARE(settings().HAMLIB_DEVICE, QStringLiteral("shack:4533"));

    if (!port.isEmpty())
        dialog->comGroup(Hamlib)->setItemIndex(comItem(Hamlib, port));
    dialog->RadioGroupRotor->setItemIndex(Hamlib);
    QCOMPARE(settings().ANT, selected);
    QCOMPARE((*ui)->messages.size(), selected < 0 ? 1 : 0);
    QCOMPARE(settings().PORT_HAMLIB, port.isEmpty() ? -1 : 4);
    QCOMPARE(com5->drain(20), QByteArray());
}

void TestSettingsDialog::hamlibModelTypedAndRates_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QStringList>("rates");
    QTest::addColumn<QString>("hint");
    // The stored rate is 4800 in every row.
    QTest::newRow("one match: Enter takes it") << "rotctl" << 2 << false << QStringList() << "";
    QTest::newRow("the model's rates, 4800 among them") << "232B azimuth" << 611 << false
                                                        << QStringList{"1200", "2400", "4800", "9600"} << "";
    QTest::newRow("4800 is no rate of a Rot2Prog") << "#901" << 901 << false << QStringList{"600"}
                                                   << "4800 bauds: the model takes 600";
    QTest::newRow("no match: refused, the model stays") << "rotctlx" << 1 << true << QStringList() << "No model matches";
}

void TestSettingsDialog::hamlibModelTypedAndRates()
{
    QFETCH(QString, typed);
    QFETCH(int, model);
    QFETCH(bool, refused);
    QFETCH(QStringList, rates);
    QFETCH(QString, hint);
    settings().BAUD_HAMLIB.text = QStringLiteral("4800");
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    dialog->PageControlAntenne->setCurrentIndex(Hamlib);
    QLineEdit *field = dialog->ComboBoxHamlibModel->lineEdit();
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, typed);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(settings().HAMLIB_MODEL, model);
    QCOMPARE((*ui)->beeps.size(), refused ? 1 : 0);
    QCOMPARE(dialog->LabelHamlibHint->isVisibleTo(dialog), !hint.isEmpty());
    if (!hint.isEmpty())
        QCOMPARE(dialog->LabelHamlibHint->text(), hint);
    QStringList listed;
    for (int i = 0; i < dialog->ComboBoxBaudHamlib->count(); ++i)
        listed << dialog->ComboBoxBaudHamlib->itemText(i);
    QCOMPARE(listed, refused ? QStringList() : rates);
    // The entry chosen is shown whole, or what was refused stays to be mended.
    QCOMPARE(field->text(), refused ? typed : dialog->ComboBoxHamlibModel->itemText(dialog->ComboBoxHamlibModel->findData(model)));
    QCOMPARE(settings().BAUD_HAMLIB.text, QStringLiteral("4800"));
}

void TestSettingsDialog::travelRow_data()
{
    QTest::addColumn<int>("rotator");
    QTest::addColumn<QPoint>("initial");  // the travel stored when the dialog opens
    QTest::addColumn<QString>("shown");   // and the entry showing it
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QPoint>("ends");     // typed after picking Custom
    QTest::addColumn<QPoint>("stored");
    QTest::addColumn<QString>("hint");
    const QString oneTurn = QString::fromUtf8("0 to 360° (one turn)"), overlap = QString::fromUtf8("0 to 450° (overlap)");
    QTest::newRow("GS-232 takes 0 to 450") << int(GS232) << QPoint(0, 360) << oneTurn << overlap << QPoint()
                                           << QPoint(0, 450) << "";
    QTest::newRow("EasyComm takes one turn") << int(EasyComm) << QPoint(0, 360) << oneTurn << overlap << QPoint()
                                             << QPoint(0, 360)
                                             << QString::fromUtf8("EasyComm's command takes one turn: 0 to 359°.");
    QTest::newRow("EasyComm from -180: the stop at south")
        << int(EasyComm) << QPoint(0, 360) << oneTurn << QString::fromUtf8("-180 to 180°") << QPoint() << QPoint(0, 360)
        << QString::fromUtf8("EasyComm's command takes one turn: 0 to 359°. For a stop at south, tick S.");
    QTest::newRow("custom 0 to 300 is less than a turn")
        << int(GS232) << QPoint(0, 450) << overlap << "Custom" << QPoint(0, 300) << QPoint(0, 450)
        << QString::fromUtf8("The travel must cover a whole turn (360°).");
    QTest::newRow("Hamlib's dummy: its model's travel") << int(Hamlib) << QPoint(-90, 400) << "Custom"
                                                        << QString::fromUtf8("Model: -180 to 450°") << QPoint()
                                                        << QPoint(-180, 450) << "";
    QTest::newRow("Hamlib's dummy: custom beyond the model")
        << int(Hamlib) << QPoint(0, 360) << oneTurn << "Custom" << QPoint(0, 500) << QPoint(0, 360)
        << QString::fromUtf8("The model turns from -180° to 450°.");
}

void TestSettingsDialog::travelRow()
{
    QFETCH(int, rotator);
    QFETCH(QPoint, initial);
    QFETCH(QString, shown);
    QFETCH(QString, pick);
    QFETCH(QPoint, ends);
    QFETCH(QPoint, stored);
    QFETCH(QString, hint);
    Settings &s = settings();
    s.AZMIN[rotator] = initial.x();
    s.AZMAX[rotator] = initial.y();
    dialog->show();
    dialog->PageControlAntenne->setCurrentIndex(rotator);
    const TFormInit::TravelRow &row = dialog->travelRows[rotator];
    QCOMPARE(row.list->currentText(), shown);
    QCOMPARE(row.from->value(), initial.x());
    QCOMPARE(row.to->value(), initial.y());
    QCOMPARE(row.to->isEnabled(), shown == QLatin1String("Custom"));
    (*ui)->clear();

    const int index = row.list->findText(pick);
    QVERIFY(index >= 0);
    row.list->setCurrentIndex(index);
    emit row.list->activated(index);
    const bool custom = pick == QLatin1String("Custom");
    if (custom) {
        QVERIFY(row.to->isEnabled());
        // Typed: an end is weighed once it is whole, not at each digit.
        for (const auto &[end, value] : {std::pair{row.from, ends.x()}, {row.to, ends.y()}}) {
            end->selectAll();
            QTest::keyClicks(end, QString::number(value));
            QTest::keyClick(end, Qt::Key_Return);
        }
    }
    QCOMPARE(QPoint(s.AZMIN[rotator], s.AZMAX[rotator]), stored);
    QCOMPARE(row.from->value(), stored.x());
    QCOMPARE(row.to->value(), stored.y());
    QCOMPARE(row.list->currentText(), custom || hint.isEmpty() ? pick : shown);
    QCOMPARE(row.hint->isVisible(), !hint.isEmpty());
    if (!hint.isEmpty())
        QCOMPARE(row.hint->text(), hint);
    QCOMPARE((*ui)->beeps.size(), hint.isEmpty() ? 0 : 1);
}

void TestSettingsDialog::unwindServesTheSelectedOverlap()
{
    Settings &s = settings();
    s.AZMAX[GS232] = 450;
    s.AZMAX[Hamlib] = 450;
    dialog->show();
    const auto enabled = [this] {
        QList<int> interfaces;
        for (int rotator = 0; rotator < InterfaceCount; ++rotator) {
            if (dialog->travelRows[rotator].unwind->isEnabled())
                interfaces << rotator;
        }
        return interfaces;
    };
    QCOMPARE(enabled(), QList<int>());
    selectInterface(EasyComm, QStringLiteral("COM3"));
    QCOMPARE(enabled(), QList<int>());
    selectInterface(GS232, QStringLiteral("COM3"));
    QCOMPARE(enabled(), QList<int>{GS232});
    QVERIFY(window->MenuUnwind->isVisible());

    // The middle of the travel.
    QTest::mouseClick(dialog->travelRows[GS232].unwind, Qt::LeftButton);
    QCOMPARE(com3->read(5), QByteArray("W225\r"));
    // Closing the dialog lets the unwind run: no stop follows it.
    dialog->close();
    QVERIFY(dialog->isHidden());
    QCOMPARE(com3->drain(300), QByteArray());
    dialog->show();

    // One turn again: nothing to unwind, in the dialog as in the menu.
    QComboBox *list = dialog->travelRows[GS232].list;
    list->setCurrentIndex(0);
    emit list->activated(0);
    QCOMPARE(enabled(), QList<int>());
    QVERIFY(!window->MenuUnwind->isVisible());
    dialog->RadioGroupRotor->setItemIndex(Hamlib);
    QCOMPARE(enabled(), QList<int>{Hamlib});
}

QTEST_MAIN(TestSettingsDialog)
#include "test_settings_dialog.moc"
