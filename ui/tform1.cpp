#include "ui/tform1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QNetworkInterface>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>

#include "app/settings.h"
#include "app/title.h"
#include "platform/error.h"
#include "platform/ui_services.h"
#include "rotator/tracking.h"
#include "sources/angle_window.h"
#include "sources/favourites.h"
#include "sources/rotctld_server.h"
#include "ui/azimuth_validator.h"
#include "ui/main_window_configuration.h"
#include "ui/pictures.h"
#include "ui/settings_dialog.h"
#include "ui/up_down.h"
#include "ui/wrapping_button.h"
#include "widgets/lcd99.h"

namespace {

template<typename Button = QPushButton>
QPushButton *panelButton(QWidget *parent, const QString &caption, int left, int pointSize)
{
    auto *button = new Button(caption, parent);
    button->setGeometry(left, 5, 42, 36);
    button->setFont(QFont(QStringLiteral("Arial"), pointSize, QFont::Bold));
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QLabel *lamp(QWidget *parent, bool on)
{
    auto *label = new QLabel(parent);
    label->setGeometry(319, 7, 31, 31);
    label->setPixmap(pictures::lamp(on));
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

// Whether the rotctld server answers there: on its loopback address, and on every address of this
// computer when other computers may use it.
bool serverListensAt(const RotctldServer &server, const QHostAddress &address, quint16 port)
{
    if (!server.isListening() || port != server.port())
        return false;
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    const QHostAddress plain = isIPv4 ? QHostAddress(ipv4) : address;
    return plain.isLoopback() || (server.allowsOtherComputers() && QNetworkInterface::allAddresses().contains(plain));
}

} // namespace

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("TORVANEL"));
    // Naming the buttons leaves out the maximise box; naming none would give all of them.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    createPanel();
    createFavouritesRow();
    createDiagnosticControls();
    // A failure that no request is waiting for (a stop, the closing lines, the read-back).
    const auto reportLineError = [](const QString &text) { platform::ui().notify(platform::MessageKind::Error, text); };
    serial = std::make_unique<SerialDrivers>(SerialDrivers::Hooks{
        [this](const QString &command) { showCommand(command); },
        [this] { return FormInit && FormInit->CheckBoxCPMoff->isChecked(); }, reportLineError});
    serial->registerIn(drivers);
    parallel = std::make_unique<ParallelDrivers>(ParallelDrivers::Hooks{
        [this](const QString &command) { showCommand(command); }});
    parallel->registerIn(drivers);
    host = std::make_unique<HostDrivers>(HostDrivers::Hooks{
        [this](const QString &command) { showCommand(command); }});
    host->registerIn(drivers);
    hamlib = std::make_unique<HamlibDriver>(HamlibDriver::Hooks{
        [this](const QString &command) { showCommand(command); }, reportLineError,
        [this](const QHostAddress &address, quint16 port) { return serverListensAt(*rotctldServer, address, port); }});
    hamlib->registerIn(drivers);
    connect(hamlib.get(), &HamlibDriver::measuredAzimuthChanged, this, [this] {
        drawNeedle();
        showInterfaceState();
        // Which turn the antenna is on shows in the title.
        titre();
    });
    engine = new TrackingEngine(drivers, this);
    activity = new ActivityLog(this);
    connect(engine, &TrackingEngine::tracked, this, [this](const TrackResult &result) {
        platform::guarded([&] { showTrackResult(result); });
    });
    connect(engine, &TrackingEngine::autoChanged, this, &TForm1::showAutoMode);
    createMenus();
    createServers();
    createRotctldServer();
    createPstServer();
    qApp->installEventFilter(this);
    // The menu bar stays in the window, so the client area is the design's 471 x 44.
    move(3, 114);
    resize(471, 44 + menuBar()->sizeHint().height());

    TimerBlink = new QTimer(this);
    TimerBlink->setInterval(300);
    connect(TimerBlink, &QTimer::timeout, this, [this] { platform::guarded([this] { TimerBlinkTimer(); }); });
    TimerTrackOK = new QTimer(this);
    TimerTrackOK->setInterval(3600);
    connect(TimerTrackOK, &QTimer::timeout, this, [this] { platform::guarded([this] { TimerTrackOKTimer(); }); });
    TimerTrackOK->start();

    configurationTarget = std::make_unique<MainWindowConfiguration>(this);
    FormCreate();
    createSettingsDialog();
    connectServersToSettingsDialog();
}

TForm1::~TForm1() = default;

void TForm1::createPanel()
{
    auto *client = new QWidget(this);
    setCentralWidget(client);
    // Image1 shows the dial one row short, two pixels higher than the clean copy Image2.
    Image1 = new QLabel(client);
    Image1->setGeometry(8, -2, 68, 67);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(pictures::dial());
    Image2 = new QLabel(client);
    Image2->setGeometry(8, 2, 68, 68);
    Image2->setPixmap(pictures::dial());
    Image2->hide();

    PanelLampe = new QFrame(client);
    PanelLampe->setGeometry(82, 2, 361, 45);
    PanelLampe->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelLampe->setLineWidth(2);
    PanelLampe->setAutoFillBackground(true);
    QPalette black = PanelLampe->palette();
    black.setColor(QPalette::Window, Qt::black);
    PanelLampe->setPalette(black);

    // The display lies in front of the azimuth box, which only holds the text.
    EditAzimut = new QLineEdit(QStringLiteral("0"), PanelLampe);
    EditAzimut->setGeometry(54, 6, 49, 36);
    // It reaches a few pixels past the display: black on the black panel, with no frame or
    // focus line, it leaves no trace there.
    EditAzimut->setFrame(false);
    EditAzimut->setStyleSheet(QStringLiteral("border: none; background: black; color: black;"
                                             " selection-background-color: black; selection-color: black;"));
    EditAzimut->setValidator(new AzimuthValidator(EditAzimut));
    LCDAzi = new TLCD99(PanelLampe);
    LCDAzi->setGeometry(8, 6, 92, 35);
    LCDAzi->setDigitNum(3);
    LCDAzi->setSegmentSize(3);
    LCDAzi->setValue(QStringLiteral("0"));
    LCDAzi->raise();
    // A click on the display puts the keyboard into the box behind it.
    LCDAzi->setFocusPolicy(Qt::ClickFocus);
    LCDAzi->setFocusProxy(EditAzimut);
    UpDownAzi = new UpDown(EditAzimut, -1, 360, PanelLampe);
    UpDownAzi->setGeometry(103, 6, 37, 36);

    ButtonTrack = panelButton(PanelLampe, QStringLiteral("MAN"), 141, 10);
    BitBtnAuto = panelButton<WrappingButton>(PanelLampe, QStringLiteral("AUTO OFF"), 183, 9);
    BitBtnStop = panelButton(PanelLampe, QStringLiteral("STOP"), 225, 10);
    BitBtnLP = panelButton(PanelLampe, QStringLiteral("LP"), 267, 10);
    BitBtnAuto->setStyleSheet(QStringLiteral("padding: 0px; color: black;"));
    ImageLEDOff = lamp(PanelLampe, false);
    ImageLedOn = lamp(PanelLampe, true);
    ImageLedOn->hide();

    auto guardedClick = [this](QPushButton *button, void (TForm1::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { platform::guarded([=, this] { (this->*handler)(); }); });
    };
    connect(ButtonTrack, &QPushButton::clicked, this, [this] {
        platform::guarded([this] { fromSource({ActivitySource::Man, {}}, [this] { ButtonTrackClick(); }); });
    });
    guardedClick(BitBtnAuto, &TForm1::BitBtnAutoClick);
    guardedClick(BitBtnStop, &TForm1::BitBtnStopClick);
    guardedClick(BitBtnLP, &TForm1::BitBtnLPClick);
    // Emitted for the operator's keys only, just before the change itself.
    connect(EditAzimut, &QLineEdit::textEdited, this, [this] { boxTyped = true; });
    connect(EditAzimut, &QLineEdit::textChanged, this, [this] { platform::guarded([this] { EditAzimutChange(); }); });
    typingPause = new QTimer(this);
    typingPause->setSingleShot(true);
    typingPause->setInterval(1000);
    connect(typingPause, &QTimer::timeout, this, [this] { platform::guarded([this] { sendTypedAzimuth(); }); });
    connect(EditAzimut, &QLineEdit::returnPressed, this, [this] {
        if (typingPause->isActive())
            platform::guarded([this] { sendTypedAzimuth(); });
    });
    connect(UpDownAzi, &UpDown::mouseDown, this, [this] { platform::guarded([this] { UpDownAziMouseDown(); }); });
    connect(UpDownAzi, &UpDown::mouseUp, this, [this] { platform::guarded([this] { UpDownAziMouseUp(); }); });
    UpDownAzi->stepping = [this](const std::function<void()> &step) { fromSource({ActivitySource::Arrows, {}}, step); };
}

void TForm1::createFavouritesRow()
{
    QPushButton **const buttons[] = {&Button1, &Button2, &Button3, &Button4, &Button5, &Button6};
    for (int i = 0; i < 6; ++i) {
        const QString number = QString::number(i + 1);
        auto *button = new QPushButton(QStringLiteral("Fav.") + number, centralWidget());
        button->setGeometry(88 + 56 * i, 50, 57, 17);
        button->setFont(QFont(QStringLiteral("Arial"), 8, QFont::Bold));
        *buttons[i] = button;
    }
}

void TForm1::createDiagnosticControls()
{
    QWidget *client = centralWidget();
    LabelEtatInterface = new QLabel(QStringLiteral("commande"), client);
    LabelEtatInterface->move(8, 87);
    LabelEtatInterface->setFont(QFont(QStringLiteral("Arial")));
    LabelEtatInterface->setTextFormat(Qt::PlainText);
    LabelEtatInterface->hide();
    EditdataString = new QLineEdit(QStringLiteral("DataString"), client);
    EditdataString->setGeometry(8, 104, 369, 21);
    EditdataString->hide();
    Label1 = new QLabel(QStringLiteral("Defaultport "), client);
    Label1->move(128, 88);
    Label1->hide();
}

void TForm1::showCommand(const QString &command)
{
    lastCommand = command;
    showInterfaceState();
}

void TForm1::showInterfaceState()
{
    const std::optional<double> measured = hamlib->measuredAzimuth();
    LabelEtatInterface->setText(
        measured ? lastCommand + QStringLiteral("  AZ=") + QString::number(int(tracking::roundHalfEven(*measured)))
                 : lastCommand);
    // Outside a layout a label keeps the width of its first caption.
    LabelEtatInterface->adjustSize();
    // The diagnostic line is hidden: the dial tells the operator where the antenna is read to be.
    Image1->setToolTip(measured ? QStringLiteral("%1°").arg(int(tracking::roundHalfEven(*measured))) : QString());
}

void TForm1::FormCreate()
{
    Settings &s = settings();
    discoverParallelPorts();
    s.FavouriteButtons = {Button1, Button2, Button3, Button4, Button5, Button6};
    s.AutoButtonHeight = BitBtnAuto->height();
    s.AutoButtonLeft = BitBtnAuto->x();
    s.AutoButtonTop = BitBtnAuto->y();
    s.Starting = true;
    readConfiguration();
    assignKeypadShortcuts();
    cadran();
    s.Starting = false;
    setListenerDefaultPort();
    checkMovenowAtStart();
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!firstShowDone) {
        firstShowDone = true;
        // Some window managers never activate a window: the first activation runs anyway.
        QMetaObject::invokeMethod(this, [this] { platform::guarded([this] { FormActivate(); }); }, Qt::QueuedConnection);
    }
}

void TForm1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && firstShowDone)
        platform::guarded([this] { FormActivate(); });
}

void TForm1::FormActivate()
{
    Settings &s = settings();
    // An activation that arrives during one of the first activation's own waits (the TrakBox
    // port test) must not run it a second time.
    if (s.Activated || activating)
        return;
    const QScopedValueRollback inActivation(activating, true);
    startListenerAtFirstActivation();
    startRotctldAtFirstActivation();
    startPstAtFirstActivation();
    pushStoredSettings();
    // Hamlib tells where the rotator points before the first command.
    if (s.ANT == Hamlib)
        hamlib->open();
    openDdeLinkAtFirstActivation();
    showPendingAngle();
    shownAtStart = LCDAzi->Value().toInt();
    configurationTarget->rememberStartChoices();
    s.Activated = true;
    focusAngleWindow();
}

void TForm1::requestClose()
{
    if (closing)
        skipRotatorAtExit = true;
    else
        close();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    closeRequested = true;
    hamlib->beginExit();
    // Its source hears that it was dropped before the connection closes.
    engine->dropWaiting();
    platform::beginClosing();
    // A command still waiting after its bytes finishes first, so the exit sequence never
    // interleaves with it; no new one starts, so the wait is short whatever the traffic.
    if (engine->busy() || activating) {
        event->ignore();
        QTimer::singleShot(20, this, &QWidget::close);
        return;
    }
    event->accept();
    if (!closing) {
        closing = true;
        FormClose();
        emit closed();
    }
}

void TForm1::FormClose()
{
    // An editor left open would lose its edits: closing the program closes it too.
    if (FormFav && FormFav->isVisible())
        FormFav->FormClose();
    // Each step runs even when one before it failed, so that the file is always saved. No
    // network client steers once the exit sequence has begun. A second close request skips
    // the rotator's remaining steps.
    platform::guardedWhileClosing([this] { closeRotctldServer(); });
    platform::guardedWhileClosing([this] { closePstServer(); });
    platform::guardedWhileClosing([this] { Stop_Track(); });
    settleLines();
    if (!skipRotatorAtExit)
        platform::guardedWhileClosing([this] { park(); });
    settleLines();
    platform::guardedWhileClosing([this] { releaseParallelPort(); });
    if (!skipRotatorAtExit)
        platform::guardedWhileClosing([this] { sendClosingCommands(); });
    platform::guardedWhileClosing([this] { closeServers(); });
    platform::guardedWhileClosing([this] { saveConfiguration(); });
}

void TForm1::MenuQuitterClick()
{
    close();
}

void TForm1::titre()
{
    setWindowTitle(titleText(settings()));
    MenuUnwind->setVisible(settings().pointedTravel().has_value());
}

void TForm1::focusAngleWindow()
{
    // A key typed into another window (the locator, the settings dialog, the favourites editor,
    // a message) stays there.
    const QWidget *active = QApplication::activeWindow();
    if (FormAngle && FormAngle->isVisible() && (!active || active == this || active == FormAngle))
        FormAngle->takeFocus();
}
