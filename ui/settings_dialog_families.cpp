// The nine families of page handlers: one implementation each, wired to its members by name.
#include "ui/settings_dialog_families.h"

#include <cmath>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>

#include "platform/error.h"
#include "platform/ui_services.h"
#include "ports/port_library.h"
#include "rotator/serial_protocols.h"
#include "ui/settings_dialog_pages.h"
#include "ui/tform1.h"

namespace {

// A handler's name and the interface whose page control raises it.
struct Member {
    const char *handler;
    int rotator;
};

const Member lptGroups[] = {{"RadioGroupHNVLPTClick", PourSat}, {"RadioGroupFODLPTClick", FODTrack}};

struct CalibrationEdit {
    const char *handler;
    QLineEdit *TFormInit::*edit;
    long double Settings::*setting;
    bool zeroRange;  // only a zero is limited to -90..90
};
const CalibrationEdit calibrationEdits[] = {
    {"EditHNVCalAzChange", &TFormInit::EditHNVCalAz, &Settings::CALAZ_POURSAT, false},
    {"EditHNVZeroChange", &TFormInit::EditHNVZero, &Settings::ZERO_POURSAT, true},
    {"EditFODCalAzChange", &TFormInit::EditFODCalAz, &Settings::CALAZ_FODTRACK, false},
    {"EditFODZeroChange", &TFormInit::EditFODZero, &Settings::ZERO_FODTRACK, true},
};

const Member comGroups[] = {
    {"RadioGroupPortGSClick", GS232},   {"RadioGroupPortEasyClick", EasyComm}, {"RadioGroupPortTKBClick", TrakBox},
    {"RadioGroupPortProClick", ProSisTel}, {"RadioGroupPortDCUClick", DCU1},  {"RadioGroupPortM2Click", M2Orion},
    {"RadioGroupPortEGIClick", EGIS},    {"RadioGroupPortHamlibClick", Hamlib},
};

const Member stopSides[] = {
    {"RadioGroupHNVButeeClick", PourSat}, {"RadioGroupFODButeeClick", FODTrack},
    {"RadioGroupEAbuteeClick", EA4TX},    {"RadioGroupGSbuteeClick", GS232},
    {"RadioGroupEasyButeeClick", EasyComm}, {"RadioGroupProButeeClick", ProSisTel},
    {"RadioGroupDCUButeeClick", DCU1},    {"RadioGroupM2ButeeClick", M2Orion},
    {"RadioGroupEGIButeeClick", EGIS},   {"RadioGroupHamlibButeeClick", Hamlib},
};

const Member minimumSteps[] = {
    {"SpinEditStepPourSatChange", PourSat}, {"SpinEditStepFODtrackChange", FODTrack},
    {"SpinEditStepEAChange", EA4TX},        {"SpinEditStepGSChange", GS232},
    {"SpinEditStepEasyChange", EasyComm},   {"SpinEditStepTKBChange", TrakBox},
    {"SpinEditStepKCTChange", KCT},         {"SpinEditstepProChange", ProSisTel},
    {"SpinEditStepDCUChange", DCU1},        {"SpinEditStepM2Change", M2Orion},
    {"SpinEditStepEGIChange", EGIS},        {"SpinEditStepHamlibChange", Hamlib},
};

const Member offsets[] = {
    {"SpinEditGSAzOffsetChange", GS232},      {"SpinEditEasyAzOffsetChange", EasyComm},
    {"SpinEditTKBAzOffsetChange", TrakBox},   {"SpinEditKCTAzOffsetChange", KCT},
    {"SpinEditProAzOffsetChange", ProSisTel}, {"SpinEditDCUAzOffsetChange", DCU1},
    {"SpinEditM2AzOffsetChange", M2Orion},    {"SpinEditEGIAzOffsetChange", EGIS},
    {"SpinEditHamlibAzOffsetChange", Hamlib},
};

const Member baudLists[] = {{"ComboBoxBaudGSClick", GS232}, {"ComboBoxBaudEasyClick", EasyComm},
                            {"ComboBoxBaudTKBClick", TrakBox}, {"ComboBoxBaudDCUClick", DCU1},
                            {"ComboBoxBaudHamlibClick", Hamlib}};

const Member testButtons[] = {
    {"BitBtnTestHNVClick", PourSat},  {"BitBtnTestFODClick", FODTrack}, {"BitBtnTestEAClick", EA4TX},
    {"BitBtnTestGSClick", GS232},     {"BitBtnTestEasyClick", EasyComm}, {"BitBtnTestTKBClick", TrakBox},
    {"BitBtnTestKCTClick", KCT},      {"BitBtntestProClick", ProSisTel}, {"BitBtnTestDCUClick", DCU1},
    {"BitBtnTestM2Click", M2Orion},   {"BitBtnTestEGIClick", EGIS},      {"BitBtnTestHamlibClick", Hamlib},
};

const Member parkingBoxes[] = {
    {"CheckBoxParkHNVClick", PourSat},   {"CheckBoxParkFODClick", FODTrack}, {"CheckBoxParkEAClick", EA4TX},
    {"CheckBoxParkGSClick", GS232},      {"CheckBoxParkEasyClick", EasyComm}, {"CheckBoxParkTKBClick", TrakBox},
    {"CheckBoxParkKCTClick", KCT},       {"CheckBoxParkProClick", ProSisTel}, {"CheckBoxParkDCUClick", DCU1},
    {"CheckBoxParkM2Click", M2Orion},    {"CheckBoxParkEGIClick", EGIS},     {"CheckBoxParkHamlibClick", Hamlib},
};

// A spin box signals only acceptable texts, and its text field none that the program sets.
QLineEdit *editOf(QSpinBox *spin)
{
    return spin->findChild<QLineEdit *>();
}

void refuse()
{
    platform::ui().beep(platform::Beep::Default);
}

} // namespace

int comValue(const QString &item)
{
    bool ok = false;
    const int number = item.mid(3).toInt(&ok);
    return ok ? number - 1 : -2;
}

int spinValue(const QSpinBox *spin)
{
    bool ok = false;
    const int value = spin->cleanText().toInt(&ok);
    return ok ? value : spin->minimum();
}

int selectedBaudIndex(const QComboBox *list)
{
    const int index = list->currentIndex();
    return index >= 0 && list->itemText(index) == list->currentText() ? index : -1;
}

void TFormInit::connectFamilies()
{
    const auto wire = [this](const char *name, auto *sender, auto signal, std::function<void()> handler) {
        addHandler(name, handler);
        connect(sender, signal, this, [handler] { platform::guarded(handler); });
    };
    const auto page = [](int rotator) -> const InterfacePage & { return interfacePages()[rotator]; };

    for (const Member &m : lptGroups)
        wire(m.handler, page(m.rotator).port.of(*this), &RadioGroup::clicked, [this, m] { lptGroupClick(m.rotator); });
    for (const CalibrationEdit &row : calibrationEdits)
        wire(row.handler, this->*row.edit, &QLineEdit::textChanged,
             [this, row] { calibrationEditChange(this->*row.edit, row.setting, row.zeroRange); });
    for (const Member &m : comGroups)
        wire(m.handler, page(m.rotator).port.of(*this), &RadioGroup::clicked, [this, m] { comGroupClick(m.rotator); });
    for (const Member &m : stopSides)
        wire(m.handler, page(m.rotator).stop.of(*this), &RadioGroup::clicked, [this, m] { stopSideClick(m.rotator); });
    for (const Member &m : minimumSteps)
        wire(m.handler, page(m.rotator).step.of(*this), &QSpinBox::textChanged,
             [this, m] { minimumStepChange(m.rotator); });
    for (const Member &m : offsets) {
        QSpinBox *offset = page(m.rotator).offset.of(*this);
        wire(m.handler, offset, &QSpinBox::textChanged, [this, m] { offsetChange(m.rotator); });
        // Texts typed on the way to a value ("-") are stored too; storing twice is harmless.
        wire(m.handler, editOf(offset), &QLineEdit::textChanged, [this, m] { offsetChange(m.rotator); });
    }
    for (const Member &m : baudLists) {
        QComboBox *list = page(m.rotator).baud.of(*this);
        // Only a user's pick runs the handler; the dialog's own selections call it themselves.
        addHandler(m.handler, [this, m, list] {
            if (list->currentIndex() >= 0)
                baudListClick(m.rotator, list->currentIndex());
        });
        connect(list, &QComboBox::activated, this,
                [this, m](int index) { platform::guarded([&] { baudListClick(m.rotator, index); }); });
    }
    for (const Member &m : testButtons)
        wire(m.handler, page(m.rotator).go.of(*this), &QPushButton::clicked, [this, m] { testButtonClick(m.rotator); });
    for (const Member &m : parkingBoxes)
        wire(m.handler, page(m.rotator).park.of(*this), &QCheckBox::toggled, [this, m] { parkingBoxClick(m.rotator); });
}

void TFormInit::lptGroupClick(int rotator)
{
    Settings &s = settings();
    const InterfacePage &page = interfacePages()[rotator];
    RadioGroup *group = page.port.of(*this);
    const int index = group->itemIndex();
    if (index >= 0 && s.PortDriverRequired && !s.PortDriverPresent) {
        refuse();
        platform::ui().message(platform::MessageKind::Error, s.MsgPortDriverMissing);
        group->setItemIndex(-1);
        QApplication::processEvents();
        return;
    }
    if (index < 0) {
        s.*page.portSetting = -1;
    } else if (s.LptAddress[index] == 0) {
        group->setItemIndex(-1);
        s.*page.portSetting = -1;
    } else {
        s.*page.portSetting = index;
        if (RadioGroupRotor->itemIndex() == rotator && s.PortDriverRequired && s.PortDriverPresent)
            ports::portLibrary().EnablePorts(s.LptAddress[index], s.LptAddress[index]);
    }
    form1->titre();
}

void TFormInit::calibrationEditChange(QLineEdit *edit, long double Settings::*setting, bool zeroRange)
{
    Settings &s = settings();
    // The same azimuth is now another command: it goes out whatever the minimum step.
    s.resetLastAzimuth();
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double number = locale.toDouble(edit->text(), &ok);
    if (!ok) {
        s.*setting = 0;
        return;
    }
    s.*setting = number;
    if (zeroRange && std::fabs(number) > limits::largestZero) {
        refuse();
        s.*setting = 0;
        edit->clear();
    }
}

void TFormInit::comGroupClick(int rotator)
{
    Settings &s = settings();
    const InterfacePage &page = interfacePages()[rotator];
    RadioGroup *group = page.port.of(*this);
    const int index = group->itemIndex();
    if (index < 0)
        return;
    if (rotator == Hamlib) {
        // Hamlib opens the port itself and says what fails.
        const int port = comValue(group->itemText(index));
        if (port != s.*page.portSetting) {
            s.*page.portSetting = port;
            reopenHamlib();
        }
        form1->titre();
        return;
    }
    SerialDrivers &serial = *form1->serial;
    serial.stop(*serialProtocol(rotator));
    // Once the stop is out: the port is used directly from here on.
    SerialChannel &channel = serial.channel(rotator);
    const QString name = group->itemText(index);
    channel.setPortName(name);
    try {
        channel.open();
        if (page.purgeAfterOpen)
            channel.clearBuffer(QSerialPort::AllDirections);
    } catch (const std::exception &) {
        // A port that does not open is simply not offered: the selection goes away below.
    }
    if (channel.connected()) {
        if (page.portTestLines)
            serial.sendAndClose(rotator, trakBoxPortTest());
        channel.close();
        s.*page.portSetting = comValue(name);
    } else if (comValue(name) != s.*page.portSetting) {
        // A new pick that does not open is not offered. The port already chosen stays chosen
        // while its adapter is away: the driver finds it again once it is back.
        group->setItemIndex(-1);
        s.*page.portSetting = -1;
    }
    form1->titre();
}

void TFormInit::stopSideClick(int rotator)
{
    const InterfacePage &page = interfacePages()[rotator];
    settings().*page.stopSetting = page.stop.of(*this)->itemIndex();
    settings().resetLastAzimuth();
}

void TFormInit::minimumStepChange(int rotator)
{
    const InterfacePage &page = interfacePages()[rotator];
    settings().*page.stepSetting = spinValue(page.step.of(*this));
}

void TFormInit::offsetChange(int rotator)
{
    const InterfacePage &page = interfacePages()[rotator];
    settings().*page.offsetSetting = spinValue(page.offset.of(*this));
    settings().resetLastAzimuth();
}

void TFormInit::baudListClick(int rotator, int index)
{
    const InterfacePage &page = interfacePages()[rotator];
    BaudSetting &baud = settings().*page.baudSetting;
    const QString text = page.baud.of(*this)->itemText(index);
    if (rotator == Hamlib) {
        // The list holds the model's rates only: the table's entry is found by its text.
        if (text != baud.text) {
            baud = {text, baudIndex(text)};
            LabelHamlibHint->hide();
            reopenHamlib();
        }
        return;
    }
    SerialChannel &channel = form1->serial->channel(rotator);
    channel.close();
    channel.setBaudRate(baudRate(index));
    baud.BaudIndex = index;
    baud.text = text;
}

void TFormInit::testButtonClick(int rotator)
{
    Settings &s = settings();
    const InterfacePage &page = interfacePages()[rotator];
    if (RadioGroupRotor->itemIndex() != rotator) {
        refuse();
        return;
    }
    if (page.portKind == PortKind::Lpt && s.PortDriverRequired && s.PortDriverPresent) {
        const int lpt = page.port.of(*this)->itemIndex();
        if (lpt >= 0)
            ports::portLibrary().EnablePorts(s.LptAddress[lpt], s.LptAddress[lpt]);
    }
    s.resetLastAzimuth();
    s.TestRequest = true;
    // The azimuth already shown is tested all the same: after a new stop side or offset it
    // is another command.
    const QString azimuth = QString::number(spinValue(page.test.of(*this)));
    if (form1->EditAzimut->text() == azimuth)
        form1->EditAzimutChange();
    else
        form1->EditAzimut->setText(azimuth);
}

void TFormInit::parkingBoxClick(int rotator)
{
    Settings &s = settings();
    const InterfacePage &page = interfacePages()[rotator];
    if (RadioGroupRotor->itemIndex() == rotator) {
        s.PARKING = rotator + 1;
        s.AZIMUT_PARKING = spinValue(page.test.of(*this));
    } else {
        // Unticking runs this handler again, which beeps too: two beeps in all.
        page.park.of(*this)->setChecked(false);
        refuse();
    }
}
