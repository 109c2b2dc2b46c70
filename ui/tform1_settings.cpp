// The main window's side of the settings dialog and of port discovery.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>

#include "app/settings.h"
#include "platform/error.h"
#include "ports/port_discovery.h"
#include "ports/port_library.h"
#include "ui/settings_dialog.h"
#include "ui/settings_dialog_families.h"
#include "ui/tform1.h"

namespace {

// The rate in bits per second a BAUD_ text names: a table entry's, or a whole number the table
// lacks, which the serial port sets as a custom rate; 0 when the text names none.
int namedBaudRate(const QString &text)
{
    if (const int index = baudIndex(text); index >= 0)
        return baudRate(index);
    bool ok = false;
    const int rate = text.toInt(&ok);
    return ok && rate > 0 && QString::number(rate) == text ? rate : 0;
}

} // namespace

void TForm1::createSettingsDialog()
{
    FormInit = new TFormInit(this);
    for (const QString &name : ports::NomsPorts())
        FormInit->addComPort(name);
    // The drivers read these settings; the dialog's boxes are where the user changes them.
    connect(FormInit->CheckBoxGSel, &QCheckBox::toggled, this, [](bool on) { settings().EL_GS232 = on; });
    connect(FormInit->EditKctMove, &QLineEdit::textChanged, this, [](const QString &text) { settings().MOVENOW = text; });
    connect(MenuInit, &QAction::triggered, this, [this] { platform::guarded([this] { MenuInitClick(); }); });
}

void TForm1::discoverParallelPorts()
{
    Settings &s = settings();
    s.PortDriverPresent = ports::IsZntportOpen();
    // The system counts as one that needs the port driver and has a device inventory.
    ports::LptPorts found;
    found.LptName = s.LptName;
    found.LptAddressText = s.LptAddressText;
    found.LptAddress = s.LptAddress;
    found = ports::LPTportList(3, found);
    s.LptName = found.LptName;
    s.LptAddressText = found.LptAddressText;
    bool converted = true;
    for (int i = 0; i < 3 && converted; ++i)
        s.LptAddress[i] = quint16(s.LptAddressText[i].toUInt(&converted, 16));
    if (!converted) {
        s.LptAddress = {0, 0, 0};
        s.LptAddressText.fill(ports::addressText(0));
    }
}

void TForm1::pushStoredSettings()
{
    Settings &s = settings();
    TFormInit &dialog = *FormInit;

    RadioGroup *const lptGroups[] = {dialog.RadioGroupHNVLPT, dialog.RadioGroupFODLPT};
    const int lptSettings[] = {s.LPT_POURSAT, s.LPT_FODTRACK};
    for (int i = 0; i < 3; ++i) {
        const bool present = !s.LptName[i].isEmpty();
        const QString caption = present ? s.LptName[i] + QStringLiteral(" [") + ports::addressText(s.LptAddress[i])
                                              + QStringLiteral("h]")
                                        : QString(10, QLatin1Char(' ')) + QStringLiteral("[0000h]");
        for (int board = 0; board < 2; ++board) {
            lptGroups[board]->setItemText(i, caption);
            if (lptSettings[board] == i) {
                if (present)
                    lptGroups[board]->setItemIndex(i);
                else if (lptGroups[board]->itemIndex() == i)
                    lptGroups[board]->setItemIndex(-1);
            }
        }
    }

    if (s.EL_GS232)
        dialog.CheckBoxGSel->setChecked(true);
    for (auto [rotator, baud] : {std::pair{GS232, &s.BAUD_GS232}, {EasyComm, &s.BAUD_EASYCOMM},
                                 {DCU1, &s.BAUD_DCU1}, {TrakBox, &s.BAUD_TRAKBOX}}) {
        // The port runs at the rate of the text, which the title shows and the file keeps:
        // without a BAUD_ line the index would still name the table's first rate. A text that
        // names no rate gives way to the initial one.
        if (namedBaudRate(baud->text) == 0)
            baud->text = BaudSetting().text;
        baud->BaudIndex = baudIndex(baud->text);
        serial->channel(rotator).setBaudRate(namedBaudRate(baud->text));
    }

    const std::pair<int, int *> comSettings[] = {
        {GS232, &s.PORT_GS232}, {EasyComm, &s.PORT_EASYCOMM}, {TrakBox, &s.PORT_TRAKBOX},
        {ProSisTel, &s.PORT_PROSISTEL}, {DCU1, &s.PORT_DCU1}, {M2Orion, &s.PORT_M2ORION}, {EGIS, &s.PORT_EGIS}};
    for (auto [rotator, port] : comSettings) {
        if (*port == -1)
            continue;
        RadioGroup *group = dialog.comGroup(rotator);
        group->setItemIndex(-1);
        int match = -1;
        for (int i = 0; i < group->count() && match < 0; ++i) {
            if (comValue(group->itemText(i)) == *port)
                match = i;
        }
        if (match >= 0) {
            // Selecting the item runs its port test, which may still find the port unusable.
            group->setItemIndex(match);
        } else if (s.ANT == rotator) {
            *port = -1;
            s.ANT = NoInterface;
            dialog.RadioGroupRotor->setItemIndex(-1);
        }
    }

    if (s.TKB_HOST)
        dialog.CheckBoxTKBHost->setChecked(true);
    dialog.EditKctMove->setText(s.MOVENOW);
    titre();

    if (s.PortDriverRequired && s.PortDriverPresent) {
        for (auto [rotator, lpt] : {std::pair{PourSat, s.LPT_POURSAT}, {FODTrack, s.LPT_FODTRACK}}) {
            if (s.ANT == rotator && lpt != -1)
                ports::portLibrary().EnablePorts(s.LptAddress[lpt], s.LptAddress[lpt]);
        }
    }
}

void TForm1::MenuInitClick()
{
    Stop_Track();
    settings().resetLastAzimuth();
    serial->closeAll();
    FormInit->show();
    FormInit->raise();
    FormInit->activateWindow();
}
