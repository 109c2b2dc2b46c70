#pragma once

#include <array>
#include <functional>
#include <QGroupBox>
#include <QHash>
#include <QWidget>

#include "app/settings.h"
#include "ui/languages.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTabWidget;
class QVBoxLayout;
class TForm1;

// A titled column of radio buttons with at most one selected; -1 means none.
class RadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    // The height of a scrolling group does not depend on how many items it holds.
    enum class Overflow { Grows, Scrolls };
    RadioGroup(const QString &title, QWidget *parent, Overflow overflow = Overflow::Grows);

    void addItem(const QString &text);
    int count() const;
    QString itemText(int index) const;
    void setItemText(int index, const QString &text);
    int itemIndex() const;
    // -1 clears the selection; only a selection that changes to an item emits clicked.
    void setItemIndex(int index);
    // For a scrolling group.
    void narrowScrollBar(int width);

signals:
    // An item became selected, by the user or by the program.
    void clicked();

private:
    QButtonGroup *buttons;
    QGridLayout *grid;
    QScrollArea *scroll = nullptr;
    int barWidth = 0;  // 0: the style's
};

// The settings dialog: the interface choice, one page per interface, the N1MM listener's
// port and the audio signal. Every change takes effect at once.
class TFormInit : public QWidget
{
    Q_OBJECT
public:
    explicit TFormInit(TForm1 *mainWindow);

    void FormShow();
    void FormActivate();
    void RadioGroupRotorClick();
    // False when the close is refused and the dialog stays open.
    bool FormClose();
    void CheckBoxTKBHostClick();
    // Beeps and shows the hint beside the station's locator.
    void refuseLocator();
    void CheckBoxEnvoiCommandeClick();

    // Runs the handler of a page control by its name ("RadioGroupPortGSClick"); false when no
    // control has a handler of that name.
    bool runHandler(const QString &name);
    // Appends a serial port name to the COM groups.
    void addComPort(const QString &name);
    // The COM radio group of a serial interface; null for the others.
    RadioGroup *comGroup(int rotatorInterface) const;

signals:
    // The main window's N1MM listener: deactivated while the dialog is shown; at a successful
    // close it is deactivated, its bindings cleared, its port set, and activated again when the
    // N1MM server is chosen (a bind failure is thrown as TorvanelError).
    void stopN1mmListener();
    void moveN1mmListener(quint16 listeningPort);
    // The main window's DDE timer runs again.
    void enableDdeTimer();

public:

    RadioGroup *RadioGroupRotor;
    QTabWidget *PageControlAntenne;
    QWidget *TabSheetPourSat, *TabSheetFOD, *TabSheetEA, *TabSheetGS, *TabSheetEasy, *TabSheetTKB,
        *TabSheetKCT, *TabSheetPro, *TabSheetDCU, *TabSheetM2, *TabSheetEGI, *TabSheetHamlib;
    QGroupBox *GroupBoxN1MM;
    QLabel *LabelPortN1MM, *LabelAntN1MM;
    QLineEdit *EditPortN1MM, *EditAntN1MM;
    QCheckBox *CheckBoxEnvoiCommande;
    // The rotctld server's port and reach, beside the N1MM values.
    QLabel *LabelPortRotctld;
    QLineEdit *EditPortRotctld;
    QCheckBox *CheckBoxRotctldAll;
    // The PST UDP server's port and reach.
    QLabel *LabelPortPst;
    QLineEdit *EditPortPst;
    QCheckBox *CheckBoxPstAll;
    // The heading sent to N1MM Logger+: wanted, its port, the rotor's name and the address.
    QCheckBox *CheckBoxN1mmHeading;
    QLabel *LabelN1mmHeadingPort, *LabelN1mmRotor, *LabelN1mmHeadingHost;
    QLineEdit *EditN1mmHeadingPort, *EditN1mmRotor, *EditN1mmHeadingHost;
    // The station's own locator, with the hint shown while what was typed is refused.
    QLabel *LabelMyLocator;
    QLineEdit *EditMyLocator;
    QLabel *LabelLocatorHint;

    RadioGroup *RadioGroupHNVLPT, *RadioGroupFODLPT;
    RadioGroup *RadioGroupPortGS, *RadioGroupPortEasy, *RadioGroupPortTKB, *RadioGroupPortPro,
        *RadioGroupPortDCU, *RadioGroupPortM2, *RadioGroupPortEGI, *RadioGroupPortHamlib;
    RadioGroup *RadioGroupHNVButee, *RadioGroupFODButee, *RadioGroupEAbutee, *RadioGroupGSbutee,
        *RadioGroupEasyButee, *RadioGroupKCTbutee, *RadioGroupProButee, *RadioGroupDCUButee,
        *RadioGroupM2Butee, *RadioGroupEGIButee, *RadioGroupHamlibButee;
    QSpinBox *SpinEditStepPourSat, *SpinEditStepFODtrack, *SpinEditStepEA, *SpinEditStepGS,
        *SpinEditStepEasy, *SpinEditStepTKB, *SpinEditStepKCT, *SpinEditstepPro, *SpinEditStepDCU,
        *SpinEditStepM2, *SpinEditStepEGI, *SpinEditStepHamlib;
    QLabel *LabelStepPourSat, *LabelStepFODTrack, *LabelStepEA, *LabelStepGS, *LabelStepEasy,
        *LabelStepTKB, *LabelStepKCT, *LabelStepPro, *LabelStepDCU, *LabelStepM2, *LabelStepEGI,
        *LabelStepHamlib;
    QSpinBox *SpinEditGSAzOffset, *SpinEditEasyAzOffset, *SpinEditTKBAzOffset, *SpinEditKCTAzOffset,
        *SpinEditProAzOffset, *SpinEditDCUAzOffset, *SpinEditM2AzOffset, *SpinEditEGIAzOffset,
        *SpinEditHamlibAzOffset;
    QComboBox *ComboBoxBaudGS, *ComboBoxBaudEasy, *ComboBoxBaudTKB, *ComboBoxBaudDCU, *ComboBoxBaudHamlib;
    QLineEdit *EditHNVCalAz, *EditHNVZero, *EditFODCalAz, *EditFODZero;
    QSpinBox *SpinEditAzTestHNV, *SpinEditAzTestFOD, *SpinEditAzTestEA, *SpinEditAzTestGS,
        *SpinEditAzTestEasy, *SpinEditAzTestTKB, *SpinEditAzTestKCT, *SpinEditAzTestPro,
        *SpinEditAZTestDCU, *SpinEditAzTestM2, *SpinEditAzTestEGI, *SpinEditAzTestHamlib;
    QPushButton *BitBtnTestHNV, *BitBtntestFOD, *BitBtnTestEA, *BitBtnTestGS, *BitBtnTestEasy,
        *BitBtnTestTKB, *BitBtnTestKCT, *BitBtntestPro, *BitBtnTestDCU, *BitBtnTestM2, *BitBtnTestEGI,
        *BitBtnTestHamlib;
    QCheckBox *CheckBoxParkHNV, *CheckBoxParkFOD, *CheckBoxParkEA, *CheckBoxParkGS, *CheckBoxParkEasy,
        *CheckBoxParkTKB, *CheckBoxParkKCT, *CheckBoxParkPro, *CheckBoxParkDCU, *CheckBoxParkM2,
        *CheckBoxParkEGI, *CheckBoxParkHamlib;
    QLabel *LabelparkHNV, *LabelParkFOD, *LabelParkEA, *LabelParkGS, *LabelParkEasy, *LabelparkTKB,
        *LabelParkKCT, *LabelParkPro, *LabelParkDCU, *labelParkM2, *LabelParkEGI, *LabelParkHamlib;
    QLabel *StaticTextEA4TX, *LabelEA4TX, *LabelKCTMove;
    QCheckBox *CheckBoxGSel, *CheckBoxTKBHost, *CheckBoxCPMoff;
    QLineEdit *EditKctMove;
    QSpinBox *SpinEditElTestKCT;
    // Hamlib's models, searched by typing any part of an entry, and the device or host:port of
    // the models that are not on a serial port.
    QComboBox *ComboBoxHamlibModel;
    QLineEdit *EditHamlibDevice;
    QLabel *LabelHamlibModel, *LabelHamlibDevice;
    // Why a typed model or the stored rate is refused.
    QLabel *LabelHamlibHint;

    // Each page's travel: its list of travels, the ends of a custom one, the button that turns
    // the antenna back to the middle, and why a travel was refused. Indexed by interface.
    struct TravelRow {
        QLabel *caption;
        QComboBox *list;
        QLabel *fromLabel, *toLabel;
        QSpinBox *from, *to;
        QPushButton *unwind;
        QLabel *hint;
    };
    std::array<TravelRow, InterfaceCount> travelRows{};

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createPages();
    void connectFamilies();
    void setLanguageTexts(languages::Language language);
    // Fills the controls of one serial interface from its settings.
    void showSerialInterface(int rotatorInterface);
    // Fills the controls of one parallel board and grants access to its port when it is chosen.
    void showParallelBoard(int rotatorInterface);
    // Where a page's handler runs: one implementation per family, by the row of its member.
    void addHandler(const char *name, std::function<void()> handler);
    bool movenowPresent() const;
    // The Hamlib page: its model list and device field, and their handlers.
    void createHamlibControls(QVBoxLayout *column);
    void showHamlib();
    void connectHamlib();
    void hamlibModelClick(int index);
    // Enter in the model's field: the one entry that matches is chosen; none is refused.
    void hamlibModelEntered();
    void hamlibDeviceChange();
    // A new choice takes effect at once while Hamlib is the interface selected.
    void reopenHamlib();
    // The COM port and rate serve the serial models, the device field the others.
    void showHamlibPortKind();
    // The rates the model accepts, and a hint when the stored one is not among them.
    void showHamlibRates();

    // The travel rows: built once for every page, filled from the settings (the interface's
    // travel, its model's for Hamlib), a custom travel keeping the list on its custom entry.
    void createTravelRow(int rotatorInterface, QVBoxLayout *column);
    void connectTravelRows();
    void showTravel(int rotatorInterface, bool custom = false);
    void travelListClick(int rotatorInterface, int index);
    void customTravelChange(int rotatorInterface);
    // Stores an accepted travel; a refused one is not stored and its reason is shown.
    void chooseTravel(int rotatorInterface, Travel travel, bool custom);
    // Why the interface cannot take a travel; empty when it can.
    QString travelRefusal(int rotatorInterface, Travel travel) const;
    // Unwinding serves the selected interface only, and one that turns past a whole turn.
    void enableUnwindButtons();
    // The request the Unwind button made: while it is the newest, closing the dialog lets it run.
    quint64 unwindRequest = 0;

    // The nine families of page handlers, each on the interface (or edit) of its member.
    void lptGroupClick(int rotatorInterface);
    void calibrationEditChange(QLineEdit *edit, long double Settings::*setting, bool zeroRange);
    void comGroupClick(int rotatorInterface);
    void stopSideClick(int rotatorInterface);
    void minimumStepChange(int rotatorInterface);
    void offsetChange(int rotatorInterface);
    void baudListClick(int rotatorInterface, int index);
    void testButtonClick(int rotatorInterface);
    void parkingBoxClick(int rotatorInterface);

    TForm1 *form1;
    QHash<QString, std::function<void()>> handlers;
    // The parking choice goes to its page at the first activation of each showing only.
    bool parkingPending = false;
    QString rotctldPortMessage;
    QString hamlibNoModelText, hamlibRateText;
    // The travel rows' texts in the dialog's language.
    struct TravelTexts {
        QString oneTurn, overlap, halfTurns, model, custom;  // the list's entries
        QString lessThanATurn, beyondLimits, gs232Command, oneTurnCommand, southStop, modelRange;
    } travelTexts;
    QString pstPortMessage;
    QString headingPortMessage;
    QString headingHostMessage;
};
