#include "ui/settings_dialog.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHostAddress>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/configuration.h"
#include "app/settings.h"
#include "platform/error.h"
#include "platform/programs.h"
#include "platform/ui_services.h"
#include "ports/port_library.h"
#include "rotator/hamlib_models.h"
#include "rotator/tracking.h"
#include "ui/settings_dialog_families.h"
#include "ui/settings_dialog_pages.h"
#include "ui/tform1.h"

RadioGroup::RadioGroup(const QString &title, QWidget *parent, Overflow overflow)
    : QGroupBox(title, parent), buttons(new QButtonGroup(this))
{
    if (overflow == Overflow::Grows) {
        grid = new QGridLayout(this);
        tightLayout(grid, 0);
    } else {
        auto *frame = new QVBoxLayout(this);
        tightLayout(frame, 0);
        scroll = new QScrollArea(this);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto *items = new QWidget;
        grid = new QGridLayout(items);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setSpacing(0);
        grid->setAlignment(Qt::AlignTop);
        scroll->setWidget(items);
        scroll->viewport()->setAutoFillBackground(false);
        items->setAutoFillBackground(false);
        frame->addWidget(scroll);
    }
    connect(buttons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            emit clicked();
    });
}

void RadioGroup::addItem(const QString &text)
{
    const int index = count();
    auto *button = new QRadioButton(text, this);
    buttons->addButton(button, index);
    grid->addWidget(button, index, 0);
    // The scroll bar's room is kept, so that the items are never cut when it appears.
    if (scroll)
        scroll->setMinimumWidth(scroll->widget()->minimumSizeHint().width()
                                + (barWidth > 0 ? barWidth : scroll->verticalScrollBar()->sizeHint().width()));
}

void RadioGroup::narrowScrollBar(int width)
{
    barWidth = width;
    scroll->verticalScrollBar()->setFixedWidth(width);
    scroll->setMinimumWidth(scroll->widget()->minimumSizeHint().width() + width);
}

int RadioGroup::count() const
{
    return int(buttons->buttons().size());
}

QString RadioGroup::itemText(int index) const
{
    QAbstractButton *button = buttons->button(index);
    return button ? button->text() : QString();
}

void RadioGroup::setItemText(int index, const QString &text)
{
    if (QAbstractButton *button = buttons->button(index))
        button->setText(text);
}

int RadioGroup::itemIndex() const
{
    return buttons->checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    if (QAbstractButton *button = buttons->button(index)) {
        button->setChecked(true);
    } else if (QAbstractButton *checked = buttons->checkedButton()) {
        // An exclusive group keeps its selection unless exclusivity is off around the uncheck.
        buttons->setExclusive(false);
        checked->setChecked(false);
        buttons->setExclusive(true);
    }
}

TFormInit::TFormInit(TForm1 *mainWindow) : QWidget(mainWindow, Qt::Window), form1(mainWindow)
{
    setObjectName(QStringLiteral("FormInit"));
    setWindowTitle(QStringLiteral("TORVANEL"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);

    // Should a font make the twelve interfaces taller than their column, they scroll.
    RadioGroupRotor = new RadioGroup(QStringLiteral("INTERFACE"), this, RadioGroup::Overflow::Scrolls);
    RadioGroupRotor->setObjectName(QStringLiteral("RadioGroupRotor"));
    for (const char *item : {"PourSat", "FODTrack", "EA4TX", "GS232", "EasyComm", "TrakBox", "KCT", "ProSisTel",
                             "DCU-1", "M2-ORION", "EGIS", "Hamlib"})
        RadioGroupRotor->addItem(QLatin1String(item));
    // A narrow bar: the twelve interfaces take the width that the eleven had.
    RadioGroupRotor->narrowScrollBar(5);
    PageControlAntenne = new QTabWidget(this);
    PageControlAntenne->setObjectName(QStringLiteral("PageControlAntenne"));
    // Twelve tabs never fit the design's width: they scroll, each caption whole.
    PageControlAntenne->setUsesScrollButtons(true);
    PageControlAntenne->setElideMode(Qt::ElideNone);
    createPages();

    GroupBoxN1MM = new QGroupBox(QStringLiteral("N1MM"), this);
    LabelPortN1MM = new QLabel(QStringLiteral("Port N1MM :"));
    EditPortN1MM = new QLineEdit(QStringLiteral("12040"));
    EditPortN1MM->setObjectName(QStringLiteral("EditPortN1MM"));
    LabelAntN1MM = new QLabel(QStringLiteral("Port Antenne: "));
    EditAntN1MM = new QLineEdit(QStringLiteral("16"));
    EditAntN1MM->setObjectName(QStringLiteral("EditAntN1MM"));
    LabelPortRotctld = new QLabel(QStringLiteral("Port rotctld :"));
    EditPortRotctld = new QLineEdit(QStringLiteral("4533"));
    EditPortRotctld->setObjectName(QStringLiteral("EditPortRotctld"));
    CheckBoxRotctldAll = new QCheckBox;
    CheckBoxRotctldAll->setObjectName(QStringLiteral("CheckBoxRotctldAll"));
    LabelPortPst = new QLabel(QStringLiteral("Port PST UDP :"));
    EditPortPst = new QLineEdit(QStringLiteral("12000"));
    EditPortPst->setObjectName(QStringLiteral("EditPortPst"));
    CheckBoxPstAll = new QCheckBox;
    CheckBoxPstAll->setObjectName(QStringLiteral("CheckBoxPstAll"));
    CheckBoxN1mmHeading = new QCheckBox;
    CheckBoxN1mmHeading->setObjectName(QStringLiteral("CheckBoxN1mmHeading"));
    LabelN1mmHeadingPort = new QLabel;
    EditN1mmHeadingPort = new QLineEdit(QStringLiteral("13010"));
    EditN1mmHeadingPort->setObjectName(QStringLiteral("EditN1mmHeadingPort"));
    LabelN1mmRotor = new QLabel;
    EditN1mmRotor = new QLineEdit;
    EditN1mmRotor->setObjectName(QStringLiteral("EditN1mmRotor"));
    LabelN1mmHeadingHost = new QLabel;
    EditN1mmHeadingHost = new QLineEdit;
    EditN1mmHeadingHost->setObjectName(QStringLiteral("EditN1mmHeadingHost"));
    LabelMyLocator = new QLabel;
    EditMyLocator = new QLineEdit;
    EditMyLocator->setObjectName(QStringLiteral("EditMyLocator"));
    // What can still become a locator, and nothing else, can be typed.
    EditMyLocator->setValidator(new QRegularExpressionValidator(stationLocatorPattern(), EditMyLocator));
    LabelLocatorHint = new QLabel;
    LabelLocatorHint->setObjectName(QStringLiteral("LabelLocatorHint"));
    LabelLocatorHint->setStyleSheet(QStringLiteral("color: red;"));
    LabelLocatorHint->hide();
    connect(EditMyLocator, &QLineEdit::inputRejected, this, [this] { refuseLocator(); });
    connect(EditMyLocator, &QLineEdit::textEdited, this, [this] {
        if (isStationLocator(EditMyLocator->text()))
            LabelLocatorHint->hide();
    });
    auto *n1mm = new QGridLayout(GroupBoxN1MM);
    tightLayout(n1mm, 2);
    n1mm->setHorizontalSpacing(4);
    n1mm->addWidget(LabelPortN1MM, 0, 0);
    n1mm->addWidget(EditPortN1MM, 0, 1);
    n1mm->addWidget(LabelAntN1MM, 0, 3);
    n1mm->addWidget(EditAntN1MM, 0, 4);
    n1mm->addWidget(LabelPortRotctld, 1, 0);
    n1mm->addWidget(EditPortRotctld, 1, 1);
    n1mm->addWidget(CheckBoxRotctldAll, 1, 3, 1, 2);
    n1mm->addWidget(LabelPortPst, 2, 0);
    n1mm->addWidget(EditPortPst, 2, 1);
    n1mm->addWidget(CheckBoxPstAll, 2, 3, 1, 2);
    n1mm->addWidget(LabelMyLocator, 3, 0);
    n1mm->addWidget(EditMyLocator, 3, 1);
    n1mm->addWidget(LabelLocatorHint, 3, 3, 1, 2);
    n1mm->addWidget(CheckBoxN1mmHeading, 4, 0, 1, 2);
    n1mm->addWidget(LabelN1mmHeadingPort, 4, 3);
    n1mm->addWidget(EditN1mmHeadingPort, 4, 4);
    n1mm->addWidget(LabelN1mmRotor, 5, 0);
    n1mm->addWidget(EditN1mmRotor, 5, 1);
    n1mm->addWidget(LabelN1mmHeadingHost, 5, 3);
    n1mm->addWidget(EditN1mmHeadingHost, 5, 4);
    n1mm->setColumnMinimumWidth(2, 8);
    CheckBoxEnvoiCommande = new QCheckBox(this);
    CheckBoxEnvoiCommande->setObjectName(QStringLiteral("CheckBoxEnvoiCommande"));

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);
    auto *top = new QHBoxLayout;
    top->addWidget(RadioGroupRotor);
    top->addWidget(PageControlAntenne, 1);
    column->addLayout(top, 1);
    column->addWidget(GroupBoxN1MM);
    column->addWidget(CheckBoxEnvoiCommande);

    // English until the main window's language says otherwise.
    setLanguageTexts(languages::Language::English);
    for (int rotator = 0; rotator < InterfaceCount; ++rotator)
        showTravel(rotator);
    connectFamilies();
    connectHamlib();
    connectTravelRows();
    connect(RadioGroupRotor, &RadioGroup::clicked, this, [this] { platform::guarded([this] { RadioGroupRotorClick(); }); });
    connect(CheckBoxTKBHost, &QCheckBox::toggled, this, [this] { CheckBoxTKBHostClick(); });
    connect(CheckBoxEnvoiCommande, &QCheckBox::toggled, this, [this] { CheckBoxEnvoiCommandeClick(); });

    move(120, 177);
    // The design's 356 pixels, rows for the station's locator, the PST server and the heading
    // sent to N1MM, room for the twelve interfaces without scrolling, and each page's travel row.
    resize(426, 535);
}

void TFormInit::addHandler(const char *name, std::function<void()> handler)
{
    handlers.insert(QLatin1String(name), std::move(handler));
}

bool TFormInit::runHandler(const QString &name)
{
    const auto handler = handlers.constFind(name);
    if (handler == handlers.constEnd())
        return false;
    (*handler)();
    return true;
}

RadioGroup *TFormInit::comGroup(int rotatorInterface) const
{
    if (rotatorInterface < 0 || rotatorInterface >= InterfaceCount)
        return nullptr;
    const InterfacePage &page = interfacePages()[rotatorInterface];
    return page.portKind == PortKind::Com ? page.port.of(*this) : nullptr;
}

void TFormInit::addComPort(const QString &name)
{
    for (int rotator : {GS232, EasyComm, DCU1, TrakBox, ProSisTel, M2Orion, EGIS, Hamlib})
        comGroup(rotator)->addItem(name);
}

void TFormInit::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    platform::guarded([this] { FormShow(); });
    // Some window managers never activate a window; the showing's activation runs anyway.
    QMetaObject::invokeMethod(this, [this] { platform::guarded([this] { FormActivate(); }); }, Qt::QueuedConnection);
}

void TFormInit::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        platform::guarded([this] { FormActivate(); });
}

void TFormInit::closeEvent(QCloseEvent *event)
{
    bool closes = false;
    platform::guarded([&] { closes = FormClose(); });
    if (closes)
        event->accept();
    else
        event->ignore();
}

void TFormInit::showParallelBoard(int rotator)
{
    Settings &s = settings();
    const InterfacePage &page = interfacePages()[rotator];
    RadioGroup *lpt = page.port.of(*this);
    const bool lptPossible = !s.PortDriverRequired || s.PortDriverPresent;
    lpt->setItemIndex(lptPossible ? s.*page.portSetting : -1);
    page.stop.of(*this)->setItemIndex(s.*page.stopSetting);
    page.step.of(*this)->setValue(s.*page.stepSetting);
    QLineEdit *calaz = rotator == PourSat ? EditHNVCalAz : EditFODCalAz;
    QLineEdit *zero = rotator == PourSat ? EditHNVZero : EditFODZero;
    calaz->setText(configuration::formatFloat(rotator == PourSat ? s.CALAZ_POURSAT : s.CALAZ_FODTRACK));
    zero->setText(configuration::formatFloat(rotator == PourSat ? s.ZERO_POURSAT : s.ZERO_FODTRACK));
    if (RadioGroupRotor->itemIndex() == rotator && lpt->itemIndex() >= 0 && s.PortDriverRequired
        && s.PortDriverPresent) {
        const quint16 address = s.LptAddress[lpt->itemIndex()];
        ports::portLibrary().EnablePorts(address, address);
    }
}

void TFormInit::showSerialInterface(int rotator)
{
    Settings &s = settings();
    const InterfacePage &page = interfacePages()[rotator];
    RadioGroup *com = page.port.of(*this);
    for (int i = 0; i < com->count(); ++i) {
        if (comValue(com->itemText(i)) == s.*page.portSetting) {
            com->setItemIndex(i);
            break;
        }
    }
    if (page.stop)
        page.stop.of(*this)->setItemIndex(s.*page.stopSetting);
    page.offset.of(*this)->setValue(s.*page.offsetSetting);
    page.step.of(*this)->setValue(s.*page.stepSetting);
    if (QComboBox *baud = page.baud.of(*this)) {
        for (int i = 0; i < baud->count(); ++i) {
            if (baud->itemText(i) == (s.*page.baudSetting).text) {
                baud->setCurrentIndex(i);
                baudListClick(rotator, i);
            }
        }
        (s.*page.baudSetting).BaudIndex = selectedBaudIndex(baud);
    }
}

void TFormInit::FormShow()
{
    Settings &s = settings();
    CheckBoxEnvoiCommande->setChecked(s.JINGLE);
    EditPortRotctld->setText(QString::number(s.ROTCTLDPORT));
    CheckBoxRotctldAll->setChecked(s.ROTCTLDALL);
    EditPortPst->setText(QString::number(s.PSTUDPPORT));
    CheckBoxPstAll->setChecked(s.PSTUDPALL);
    CheckBoxN1mmHeading->setChecked(s.N1MMHEADING);
    EditN1mmHeadingPort->setText(QString::number(s.N1MMHEADINGPORT));
    EditN1mmRotor->setText(s.N1MMROTOR);
    EditN1mmHeadingHost->setText(s.N1MMHEADINGHOST);
    EditMyLocator->setText(s.MYLOCATOR);
    LabelLocatorHint->hide();
    if (form1->MenuEnglish->isChecked())
        setLanguageTexts(languages::Language::English);
    if (form1->MenuFrancais->isChecked())
        setLanguageTexts(languages::Language::French);
    showParallelBoard(PourSat);
    showParallelBoard(FODTrack);
    RadioGroupEAbutee->setItemIndex(s.STOP_EA4TX);
    SpinEditStepEA->setValue(s.STEP_EA4TX);
    for (int rotator : {GS232, EasyComm, DCU1, ProSisTel, TrakBox, M2Orion, EGIS, Hamlib})
        showSerialInterface(rotator);
    showHamlib();
    RadioGroupKCTbutee->setItemIndex(s.STOP_KCT);
    SpinEditKCTAzOffset->setValue(s.AZOFFSET_KCT);
    SpinEditStepKCT->setValue(s.STEP_KCT);
    RadioGroupRotor->setItemIndex(s.ANT);
    for (int rotator = 0; rotator < InterfaceCount; ++rotator)
        showTravel(rotator);
    if (s.ANT >= 0 && s.ANT < InterfaceCount)
        PageControlAntenne->setCurrentIndex(s.ANT);
    parkingPending = true;
    emit stopN1mmListener();
}

void TFormInit::FormActivate()
{
    // Once per showing: later activations (after a message box, the main window) would tick
    // the parking box again and throw away the test azimuth the user set.
    if (!parkingPending)
        return;
    parkingPending = false;
    const Settings &s = settings();
    if (s.PARKING < 1 || s.PARKING > InterfaceCount)
        return;
    const InterfacePage &page = interfacePages()[s.PARKING - 1];
    page.test.of(*this)->setValue(int(tracking::roundHalfEven(s.AZIMUT_PARKING)));
    page.park.of(*this)->setChecked(true);
}

bool TFormInit::movenowPresent() const
{
    // The name is joined to the directory as typed: a directory without its final delimiter fails.
    return QFileInfo(platform::movenowProgram(EditKctMove->text(), settings().ExeDir)).isFile();
}

void TFormInit::RadioGroupRotorClick()
{
    const int selected = RadioGroupRotor->itemIndex();
    if (selected < 0)
        return;
    Settings &s = settings();
    form1->Stop_Track();
    // Hamlib's line falls silent at once when another interface is chosen; chosen again, Hamlib
    // opens with the settings of now.
    form1->hamlib->close();
    const InterfacePage &page = interfacePages()[selected];
    if (selected == KCT) {
        if (!movenowPresent()) {
            platform::ui().message(platform::MessageKind::Warning, s.MsgKctMissing);
            RadioGroupRotor->setItemIndex(-1);
            return;
        }
        PageControlAntenne->setCurrentIndex(KCT);
    } else {
        PageControlAntenne->setCurrentIndex(selected);
        if (page.portKind == PortKind::Lpt) {
            lptGroupClick(selected);
        } else if (page.portKind == PortKind::Com && (selected != Hamlib || isSerialModel(s.HAMLIB_MODEL))) {
            // Hamlib's models that are not on a serial port need none.
            if (page.port.of(*this)->itemIndex() < 0) {
                RadioGroupRotor->setItemIndex(-1);
                platform::ui().message(platform::MessageKind::Warning, s.MsgChooseComPort);
            } else {
                comGroupClick(selected);
            }
        }
    }
    // Another rotator is somewhere the program does not know yet.
    if (RadioGroupRotor->itemIndex() != s.ANT)
        s.RotatorPosition.reset();
    s.ANT = RadioGroupRotor->itemIndex();
    s.resetLastAzimuth();
    form1->titre();
    enableUnwindButtons();
    if (s.ANT == Hamlib)
        form1->hamlib->open();
}

namespace {

// What each serial controller receives when the dialog closes with it selected.
SerialLines dialogClosingLines(int rotator)
{
    switch (rotator) {
    case GS232:
    case EasyComm: return {{"SA\r"}};
    case ProSisTel: return {{QByteArray(1, STX) + "AG977\r"}};
    case DCU1: return {{";\r"}};
    case M2Orion: return {{"A\r"}, {"S\r"}, {"N\r", 0}};
    case EGIS: return {{"AZ=S\r"}};
    default: return {};
    }
}

// A decimal integer within the bounds; a beep and the text selected otherwise.
bool wholeNumberWithin(QLineEdit *edit, int minimum, int maximum, int &value)
{
    bool ok = false;
    value = edit->text().toInt(&ok);
    if (ok && value >= minimum && value <= maximum)
        return true;
    platform::ui().beep(platform::Beep::Default);
    edit->selectAll();
    return false;
}

} // namespace

bool TFormInit::FormClose()
{
    Settings &s = settings();
    const int selected = RadioGroupRotor->itemIndex();
    if (selected == KCT && !movenowPresent()) {
        platform::ui().message(platform::MessageKind::Warning, s.MsgKctMissing);
        RadioGroupRotor->setItemIndex(-1);
        s.ANT = NoInterface;
        s.PARKING = -1;
        enableUnwindButtons();
        return false;
    }

    ports::PortLibrary &library = ports::portLibrary();
    if (library.IsWinNT()) {
        for (RadioGroup *lpt : {RadioGroupHNVLPT, RadioGroupFODLPT}) {
            if (lpt->itemIndex() >= 0) {
                const quint16 address = s.LptAddress[lpt->itemIndex()];
                library.DisablePorts(address, address);
            }
        }
    }

    // An unwind takes a minute: closing the dialog does not cut it short, unless a newer request
    // (a test) came after it.
    const bool unwinding = unwindRequest != 0 && form1->engine->lastRequest() == unwindRequest;
    for (int rotator : {GS232, EasyComm, ProSisTel, TrakBox, DCU1, M2Orion, EGIS}) {
        SerialChannel &channel = form1->serial->channel(rotator);
        if (!channel.connected())
            continue;
        if (rotator == selected)
            form1->serial->sendAndClose(rotator, unwinding ? SerialLines() : dialogClosingLines(rotator));
        else
            channel.close();
    }

    // As the serial controllers get their stop; Hamlib stays open while it is the one selected.
    if (selected == Hamlib) {
        if (!unwinding)
            form1->hamlib->HL_Track_stop();
        form1->hamlib->open();
    } else {
        form1->hamlib->close();
    }

    s.TestRequest = false;
    s.PARKING = 0;
    if (selected >= 0) {
        const InterfacePage &page = interfacePages()[selected];
        if (page.park.of(*this)->isChecked()) {
            s.PARKING = selected + 1;
            s.AZIMUT_PARKING = spinValue(page.test.of(*this));
        }
    }
    emit enableDdeTimer();

    int antenna = 0;
    int port = 0;
    if (!wholeNumberWithin(EditAntN1MM, 1, 16, antenna) || !wholeNumberWithin(EditPortN1MM, 1, 50000, port))
        return false;
    int rotctldPort = 0;
    if (!wholeNumberWithin(EditPortRotctld, 1, 65535, rotctldPort)) {
        platform::ui().message(platform::MessageKind::Warning, rotctldPortMessage);
        return false;
    }
    int pstPort = 0;
    if (!wholeNumberWithin(EditPortPst, 1, 65535, pstPort)) {
        platform::ui().message(platform::MessageKind::Warning, pstPortMessage);
        return false;
    }
    int headingPort = 0;
    if (!wholeNumberWithin(EditN1mmHeadingPort, 1, 65535, headingPort)) {
        platform::ui().message(platform::MessageKind::Warning, headingPortMessage);
        return false;
    }
    const QString headingHost = EditN1mmHeadingHost->text().trimmed();
    if (!headingHost.isEmpty() && QHostAddress(headingHost).isNull()) {
        platform::ui().message(platform::MessageKind::Warning, headingHostMessage);
        return false;
    }
    const QString myLocator = EditMyLocator->text();
    if (!myLocator.isEmpty() && !isStationLocator(myLocator)) {
        refuseLocator();
        return false;
    }
    s.ROTCTLDPORT = rotctldPort;
    s.ROTCTLDALL = CheckBoxRotctldAll->isChecked();
    s.PSTUDPPORT = pstPort;
    s.PSTUDPALL = CheckBoxPstAll->isChecked();
    s.N1MMHEADING = CheckBoxN1mmHeading->isChecked();
    s.N1MMHEADINGPORT = headingPort;
    s.N1MMHEADINGHOST = headingHost;
    s.N1MMROTOR = EditN1mmRotor->text().trimmed();
    s.MYLOCATOR = myLocator.isEmpty() ? QString() : canonicalLocator(myLocator);

    s.N1mmPort = quint16(port);
    s.N1mmAntenna = quint16(antenna);
    const quint16 listeningPort = quint16(s.N1mmPort + s.N1mmAntenna);
    form1->Label1->setText(QStringLiteral("Defaultport=") + QString::number(listeningPort));
    // A port that cannot be bound is reported, but the dialog closes all the same: its
    // settings are in force and reopening it would only repeat the failure.
    platform::guarded([&] { emit moveN1mmListener(listeningPort); });
    platform::guarded([this] { form1->moveRotctldServer(); });
    platform::guarded([this] { form1->movePstServer(); });
    return true;
}

void TFormInit::refuseLocator()
{
    platform::ui().beep(platform::Beep::Default);
    LabelLocatorHint->show();
    EditMyLocator->setFocus();
}

void TFormInit::CheckBoxTKBHostClick()
{
    settings().TKB_HOST = CheckBoxTKBHost->isChecked();
}

void TFormInit::CheckBoxEnvoiCommandeClick()
{
    settings().JINGLE = CheckBoxEnvoiCommande->isChecked();
}
