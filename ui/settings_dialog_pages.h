#pragma once

#include <array>

#include "app/settings.h"
#include "ui/settings_dialog.h"

class QLayout;

// One control of the dialog: the member that holds it and its name, which is also the name of
// its handler less "Click" or "Change".
template<typename Widget>
struct DialogControl {
    Widget *TFormInit::*member = nullptr;
    const char *name = nullptr;
    explicit operator bool() const { return member != nullptr; }
    Widget *of(const TFormInit &dialog) const { return member ? dialog.*member : nullptr; }
};

enum class PortKind { None, Lpt, Com };

// What one interface page holds and which settings its controls show; a null control is one
// the page does not have.
struct InterfacePage {
    int rotator;
    const char *caption;
    DialogControl<QWidget> sheet;
    PortKind portKind;
    DialogControl<RadioGroup> port;
    int Settings::*portSetting;
    DialogControl<RadioGroup> stop;
    int Settings::*stopSetting;
    DialogControl<QSpinBox> step;
    DialogControl<QLabel> stepLabel;
    int Settings::*stepSetting;
    DialogControl<QSpinBox> offset;
    int Settings::*offsetSetting;
    DialogControl<QComboBox> baud;
    BaudSetting Settings::*baudSetting;
    DialogControl<QSpinBox> test;
    int testStep;
    DialogControl<QPushButton> go;
    const char *goHandler;
    DialogControl<QCheckBox> park;
    DialogControl<QLabel> parkLabel;
    // COM port test quirks: ProSisTel empties its buffers after the open, TrakBox gets its
    // port-test lines before the close.
    bool purgeAfterOpen;
    bool portTestLines;
};

// The style's own margins and spacings would make the dialog half again as large as its design.
void tightLayout(QLayout *layout, int spacing = 4);

// The pages in RotatorInterface order.
const std::array<InterfacePage, InterfaceCount> &interfacePages();
