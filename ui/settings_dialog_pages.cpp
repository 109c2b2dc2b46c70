// The interface pages of the settings dialog: what each holds, and building them.
#include "ui/settings_dialog_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#define C(member) {&TFormInit::member, #member}
#define NONE {}

const std::array<InterfacePage, InterfaceCount> &interfacePages()
{
    static const std::array<InterfacePage, InterfaceCount> pages = {{
        {PourSat, "PourSat", C(TabSheetPourSat), PortKind::Lpt, C(RadioGroupHNVLPT), &Settings::LPT_POURSAT,
         C(RadioGroupHNVButee), &Settings::STOP_POURSAT, C(SpinEditStepPourSat), C(LabelStepPourSat),
         &Settings::STEP_POURSAT, NONE, nullptr, NONE, nullptr, C(SpinEditAzTestHNV), 5, C(BitBtnTestHNV),
         "BitBtnTestHNVClick", C(CheckBoxParkHNV), C(LabelparkHNV), false, false},
        {FODTrack, "FODTrack", C(TabSheetFOD), PortKind::Lpt, C(RadioGroupFODLPT), &Settings::LPT_FODTRACK,
         C(RadioGroupFODButee), &Settings::STOP_FODTRACK, C(SpinEditStepFODtrack), C(LabelStepFODTrack),
         &Settings::STEP_FODTRACK, NONE, nullptr, NONE, nullptr, C(SpinEditAzTestFOD), 5, C(BitBtntestFOD),
         "BitBtnTestFODClick", C(CheckBoxParkFOD), C(LabelParkFOD), false, false},
        {EA4TX, "EA4TX", C(TabSheetEA), PortKind::None, NONE, nullptr, C(RadioGroupEAbutee),
         &Settings::STOP_EA4TX, C(SpinEditStepEA), C(LabelStepEA), &Settings::STEP_EA4TX, NONE, nullptr, NONE,
         nullptr, C(SpinEditAzTestEA), 5, C(BitBtnTestEA), "BitBtnTestEAClick", C(CheckBoxParkEA),
         C(LabelParkEA), false, false},
        {GS232, "GS-232", C(TabSheetGS), PortKind::Com, C(RadioGroupPortGS), &Settings::PORT_GS232,
         C(RadioGroupGSbutee), &Settings::STOP_GS232, C(SpinEditStepGS), C(LabelStepGS), &Settings::STEP_GS232,
         C(SpinEditGSAzOffset), &Settings::AZOFFSET_GS, C(ComboBoxBaudGS), &Settings::BAUD_GS232,
         C(SpinEditAzTestGS), 5, C(BitBtnTestGS), "BitBtnTestGSClick", C(CheckBoxParkGS), C(LabelParkGS), false,
         false},
        {EasyComm, "EasyComm", C(TabSheetEasy), PortKind::Com, C(RadioGroupPortEasy), &Settings::PORT_EASYCOMM,
         C(RadioGroupEasyButee), &Settings::STOP_EASYCOMM, C(SpinEditStepEasy), C(LabelStepEasy),
         &Settings::STEP_EASYCOMM, C(SpinEditEasyAzOffset), &Settings::AZOFFSET_EASY, C(ComboBoxBaudEasy),
         &Settings::BAUD_EASYCOMM, C(SpinEditAzTestEasy), 5, C(BitBtnTestEasy), "BitBtnTestEasyClick",
         C(CheckBoxParkEasy), C(LabelParkEasy), false, false},
        {TrakBox, "TrakBox", C(TabSheetTKB), PortKind::Com, C(RadioGroupPortTKB), &Settings::PORT_TRAKBOX, NONE,
         nullptr, C(SpinEditStepTKB), C(LabelStepTKB), &Settings::STEP_TRAKBOX, C(SpinEditTKBAzOffset),
         &Settings::AZOFFSET_TKB, C(ComboBoxBaudTKB), &Settings::BAUD_TRAKBOX, C(SpinEditAzTestTKB), 5,
         C(BitBtnTestTKB), "BitBtnTestTKBClick", C(CheckBoxParkTKB), C(LabelparkTKB), false, true},
        // The KCT stop group shows STOP_KCT but has no handler: no driver uses the value.
        {KCT, "KCT", C(TabSheetKCT), PortKind::None, NONE, nullptr, C(RadioGroupKCTbutee), nullptr,
         C(SpinEditStepKCT), C(LabelStepKCT), &Settings::STEP_KCT, C(SpinEditKCTAzOffset), &Settings::AZOFFSET_KCT,
         NONE, nullptr, C(SpinEditAzTestKCT), 10, C(BitBtnTestKCT), "BitBtnTestKCTClick", C(CheckBoxParkKCT),
         C(LabelParkKCT), false, false},
        {ProSisTel, "ProSisTel", C(TabSheetPro), PortKind::Com, C(RadioGroupPortPro), &Settings::PORT_PROSISTEL,
         C(RadioGroupProButee), &Settings::STOP_PROSISTEL, C(SpinEditstepPro), C(LabelStepPro),
         &Settings::STEP_PROSISTEL, C(SpinEditProAzOffset), &Settings::AZOFFSET_PROSISTEL, NONE, nullptr,
         C(SpinEditAzTestPro), 5, C(BitBtntestPro), "BitBtntestProClick", C(CheckBoxParkPro), C(LabelParkPro),
         true, false},
        {DCU1, "DCU-1", C(TabSheetDCU), PortKind::Com, C(RadioGroupPortDCU), &Settings::PORT_DCU1,
         C(RadioGroupDCUButee), &Settings::STOP_DCU1, C(SpinEditStepDCU), C(LabelStepDCU), &Settings::STEP_DCU1,
         C(SpinEditDCUAzOffset), &Settings::AZOFFSET_DCU1, C(ComboBoxBaudDCU), &Settings::BAUD_DCU1,
         C(SpinEditAZTestDCU), 5, C(BitBtnTestDCU), "BitBtnTestDCUClick", C(CheckBoxParkDCU), C(LabelParkDCU),
         false, false},
        {M2Orion, "M2-ORION", C(TabSheetM2), PortKind::Com, C(RadioGroupPortM2), &Settings::PORT_M2ORION,
         C(RadioGroupM2Butee), &Settings::STOP_M2ORION, C(SpinEditStepM2), C(LabelStepM2), &Settings::STEP_M2ORION,
         C(SpinEditM2AzOffset), &Settings::AZOFFSET_M2ORION, NONE, nullptr, C(SpinEditAzTestM2), 5,
         C(BitBtnTestM2), "BitBtnTestM2Click", C(CheckBoxParkM2), C(labelParkM2), false, false},
        {EGIS, "EGIS", C(TabSheetEGI), PortKind::Com, C(RadioGroupPortEGI), &Settings::PORT_EGIS,
         C(RadioGroupEGIButee), &Settings::STOP_EGIS, C(SpinEditStepEGI), C(LabelStepEGI), &Settings::STEP_EGIS,
         C(SpinEditEGIAzOffset), &Settings::AZOFFSET_EGIS, NONE, nullptr, C(SpinEditAzTestEGI), 5,
         C(BitBtnTestEGI), "BitBtnTestEGIClick", C(CheckBoxParkEGI), C(LabelParkEGI), false, false},
        {Hamlib, "Hamlib", C(TabSheetHamlib), PortKind::Com, C(RadioGroupPortHamlib), &Settings::PORT_HAMLIB,
         C(RadioGroupHamlibButee), &Settings::STOP_HAMLIB, C(SpinEditStepHamlib), C(LabelStepHamlib),
         &Settings::STEP_HAMLIB, C(SpinEditHamlibAzOffset), &Settings::AZOFFSET_HAMLIB, C(ComboBoxBaudHamlib),
         &Settings::BAUD_HAMLIB, C(SpinEditAzTestHamlib), 5, C(BitBtnTestHamlib), "BitBtnTestHamlibClick",
         C(CheckBoxParkHamlib), C(LabelParkHamlib), false, false},
    }};
    return pages;
}

#undef C
#undef NONE

namespace {

template<typename Widget>
Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QSpinBox *spinEdit(int minimum, int maximum, int step, int value)
{
    auto *spin = new QSpinBox;
    spin->setRange(minimum, maximum);
    spin->setSingleStep(step);
    spin->setValue(value);
    return spin;
}

QLabel *wrappingLabel(const QString &text = QString())
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

// A list that is editable only so that it can show a text without designating an item. Its
// text field takes no typing, and neither Enter nor leaving it picks the item the text names:
// a choice is a click in the list or an arrow key.
QComboBox *pickOnlyList(QComboBox *list)
{
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setCompleter(nullptr);
    QLineEdit *text = list->lineEdit();
    text->setReadOnly(true);
    QObject::disconnect(text, &QLineEdit::returnPressed, list, nullptr);
    QObject::disconnect(text, &QLineEdit::editingFinished, list, nullptr);
    return list;
}

// The calibration group of a parallel board: steps per degree and the azimuth of step 0, side
// by side, which leaves the page room for its test row.
QGroupBox *calibration(QLineEdit *&calaz, const char *calazName, QLineEdit *&zero, const char *zeroName)
{
    auto *group = new QGroupBox(QStringLiteral("Calibration"));
    auto *row = new QHBoxLayout(group);
    tightLayout(row);
    calaz = named(new QLineEdit, calazName);
    zero = named(new QLineEdit, zeroName);
    row->addWidget(new QLabel(QStringLiteral("Bit/°Az = ")));
    row->addWidget(calaz, 1);
    row->addSpacing(4);
    row->addWidget(new QLabel(QStringLiteral("Zero/°Az= ")));
    row->addWidget(zero, 1);
    return group;
}

} // namespace

void tightLayout(QLayout *layout, int spacing)
{
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(spacing);
}

void TFormInit::createPages()
{
    for (const InterfacePage &page : interfacePages()) {
        QWidget *sheet = named(new QWidget, page.sheet.name);
        this->*page.sheet.member = sheet;
        PageControlAntenne->addTab(sheet, QString::fromUtf8(page.caption));
        auto *column = new QVBoxLayout(sheet);
        column->setContentsMargins(4, 4, 4, 4);
        column->setSpacing(4);
        auto *top = new QHBoxLayout;
        top->setSpacing(4);
        column->addLayout(top);

        if (page.port) {
            const bool lpt = page.portKind == PortKind::Lpt;
            // The system decides how many COM ports there are; they scroll rather than grow the page.
            auto *group = named(new RadioGroup(lpt ? QStringLiteral("LPT port") : QStringLiteral("COM Port"), sheet,
                                               lpt ? RadioGroup::Overflow::Grows : RadioGroup::Overflow::Scrolls),
                                page.port.name);
            if (lpt) {
                for (const char *item : {"LPT1", "LPT2", "LPT3"})
                    group->addItem(QLatin1String(item));
            }
            this->*page.port.member = group;
            top->addWidget(group, 2);
        }
        if (page.stop) {
            auto *group = named(new RadioGroup(QStringLiteral("Stop"), sheet), page.stop.name);
            group->addItem(QStringLiteral("N"));
            group->addItem(QStringLiteral("S"));
            group->setItemIndex(NorthStop);
            this->*page.stop.member = group;
            top->addWidget(group, 1);
        }

        auto *values = new QGridLayout;
        values->setSpacing(4);
        top->addLayout(values, 2);
        int row = 0;
        QLabel *stepLabel = named(new QLabel(QStringLiteral("Min Step°")), page.stepLabel.name);
        QSpinBox *step = named(spinEdit(0, limits::largestStep, 1, 1), page.step.name);
        // Arrows only: a read-only spin box would lose its arrows, its text field does not.
        step->findChild<QLineEdit *>()->setReadOnly(true);
        this->*page.stepLabel.member = stepLabel;
        this->*page.step.member = step;
        values->addWidget(stepLabel, row, 0);
        values->addWidget(step, row++, 1);
        if (page.offset) {
            QSpinBox *offset = named(spinEdit(-limits::largestOffset, limits::largestOffset, 1, 0), page.offset.name);
            offset->findChild<QLineEdit *>()->setMaxLength(3);
            this->*page.offset.member = offset;
            values->addWidget(new QLabel(QStringLiteral("AZ Offset")), row, 0);
            values->addWidget(offset, row++, 1);
        }
        if (page.baud) {
            QComboBox *baud = pickOnlyList(named(new QComboBox, page.baud.name));
            for (int i = 0; i < 9; ++i)
                baud->addItem(QLatin1String(BaudTable[i].text));
            // The design shows "4800" without designating an item.
            baud->setCurrentIndex(-1);
            baud->setEditText(QStringLiteral("4800"));
            this->*page.baud.member = baud;
            values->addWidget(new QLabel(QStringLiteral("Bauds")), row, 0);
            values->addWidget(baud, row++, 1);
        }
        values->setRowStretch(row, 1);

        switch (page.rotator) {
        case PourSat:
            column->addWidget(calibration(EditHNVCalAz, "EditHNVCalAz", EditHNVZero, "EditHNVZero"));
            break;
        case FODTrack:
            column->addWidget(calibration(EditFODCalAz, "EditFODCalAz", EditFODZero, "EditFODZero"));
            break;
        case EA4TX:
            StaticTextEA4TX = named(wrappingLabel(), "StaticTextEA4TX");
            StaticTextEA4TX->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
            LabelEA4TX = named(wrappingLabel(), "LabelEA4TX");
            column->addWidget(StaticTextEA4TX);
            column->addWidget(LabelEA4TX);
            break;
        case GS232:
            CheckBoxGSel = named(new QCheckBox(QStringLiteral("+ el=0")), "CheckBoxGSel");
            column->addWidget(CheckBoxGSel);
            break;
        case TrakBox:
            CheckBoxTKBHost = named(new QCheckBox, "CheckBoxTKBHost");
            column->addWidget(CheckBoxTKBHost);
            break;
        case KCT: {
            LabelKCTMove = named(wrappingLabel(), "LabelKCTMove");
            EditKctMove = named(new QLineEdit(QStringLiteral("c:\\radio\\kct\\")), "EditKctMove");
            column->addWidget(LabelKCTMove);
            column->addWidget(EditKctMove);
            break;
        }
        case ProSisTel:
            CheckBoxCPMoff = named(new QCheckBox(QStringLiteral("CPM off")), "CheckBoxCPMoff");
            column->addWidget(CheckBoxCPMoff);
            break;
        case Hamlib:
            createHamlibControls(column);
            break;
        default:
            break;
        }
        column->addStretch(1);
        createTravelRow(page.rotator, column);

        auto *test = new QGroupBox(QStringLiteral("Test && Parking")); // "&&" shows one ampersand
        auto *testRows = new QGridLayout(test);
        tightLayout(testRows);
        QSpinBox *azimuth = named(spinEdit(0, limits::largestParkingAzimuth, page.testStep, 0), page.test.name);
        auto *go = named(new QPushButton(QStringLiteral("GO")), page.go.name);
        go->setStyleSheet(QStringLiteral("font-weight: bold; color: #006000;"));
        auto *park = named(new QCheckBox, page.park.name);
        QLabel *parkLabel = named(new QLabel(QStringLiteral("Use for parking")), page.parkLabel.name);
        this->*page.test.member = azimuth;
        this->*page.go.member = go;
        this->*page.park.member = park;
        this->*page.parkLabel.member = parkLabel;
        testRows->addWidget(new QLabel(QStringLiteral("Az:")), 0, 0);
        testRows->addWidget(azimuth, 0, 1);
        testRows->addWidget(go, 0, 2);
        testRows->addWidget(park, 0, 3);
        testRows->addWidget(parkLabel, 0, 4);
        testRows->setColumnStretch(4, 1);
        // Beside the azimuth the elevation would leave no room for the parking label.
        if (page.rotator == KCT) {
            SpinEditElTestKCT = named(spinEdit(0, 180, 5, 0), "SpinEditElTestKCT");
            testRows->addWidget(new QLabel(QStringLiteral("El:")), 1, 0);
            testRows->addWidget(SpinEditElTestKCT, 1, 1);
        }
        column->addWidget(test);
    }
    LabelParkEA->setText(QStringLiteral("use for parking"));
}
