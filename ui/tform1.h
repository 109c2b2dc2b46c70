#pragma once

#include <QHostAddress>
#include <QMainWindow>

#include <memory>
#include <optional>
#include <utility>

#include "rotator/driver_table.h"
#include "rotator/hamlib_driver.h"
#include "rotator/host_drivers.h"
#include "rotator/parallel_drivers.h"
#include "rotator/serial_drivers.h"
#include "rotator/tracking_engine.h"
#include "sources/rotctld_protocol.h"
#include "app/configuration.h"
#include "ui/activity_log.h"
#include "ui/languages.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class DdeClientConv;
class DdeClientItem;
class UDPServer;
class RotctldServer;
class PstServer;
class N1mmHeading;
class ActivityWindow;
class TFormAngle;
class TFormLocator;
class TFormInit;
class TFormFav;
class TFormInfo;
class MainWindowConfiguration;
class TLCD99;
class UpDown;

// The main window. It owns the components; the logic lives in plain code it forwards to.
class TForm1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Frame.
    void FormCreate();
    void FormActivate();
    void FormClose();
    void MenuQuitterClick();
    // A close signal or the session's end: closes the window, or, when the exit sequence is
    // already running, skips the rotator commands it has left.
    void requestClose();
    // Sets the title from the selected interface, its port, the parking and the overlap, and
    // offers Unwind for a rotator with an overlap.
    void titre();
    // Steps of the frame that concern the whole program.
    void readConfiguration();
    void checkMovenowAtStart();
    void showPendingAngle();
    bool parksAtExit() const;
    void park(TrackingEngine::Reply reply = {});
    void releaseParallelPort();
    void sendClosingCommands();
    void saveConfiguration();

    // Menus and languages.
    void MenuEnglishClick();
    void MenuFrancaisClick();
    void menuVoirCommandeClick();
    void MenuManuelClick();
    // Runs a handler of the window when the item is chosen or its shortcut pressed.
    void connectItem(QAction *item, void (TForm1::*handler)());
    // The checked one of MenuEnglish and MenuFrancais.
    languages::Language language() const;
    // Redraws the compass dial for the azimuth box's number and echoes it to the angle window.
    void cadran();
    void drawNeedle();
    void echoToAngleWindow();
    // Where the antenna points as far as the program knows: the measured azimuth, else the one
    // it was last really sent to, else the one displayed at start (never a target that failed).
    int knownAzimuth() const;

    // Tracking engine.
    void ButtonTrackClick();
    // MAN with the azimuth box as it is; reply hears what became of it.
    void trackBoxAzimuth(TrackingEngine::Reply reply = {});
    void EditAzimutChange();
    // An azimuth typed into the box in AUTO mode, once the operator pressed Enter or paused.
    void sendTypedAzimuth();
    void Stop_Track();
    void BitBtnAutoClick();
    void BitBtnLPClick();
    void BitBtnStopClick();
    void UpDownAziMouseDown();
    void UpDownAziMouseUp();
    void TimerBlinkTimer();
    void TimerTrackOKTimer();
    void MenuAutoClick();
    void MenuStopClick();
    void MenuLPClick();
    void wait(int ms);
    // The exit's steps follow one another on the line: the pauses of what the lines hold run out
    // first, a few seconds at most.
    void settleLines();

    bool autoOn() const;
    // Gives the angle window the keyboard focus when it is visible.
    void focusAngleWindow();

    // Favourites, angle window, about box and help. The about box, the favourites editor and
    // the angle window are made after the main window, in that order.
    void createSmallWindows();
    // Settings dialog: opens it without blocking the main window.
    void MenuInitClick();
    // Button1MouseUp .. Button6MouseUp, Button1KeyPress .. Button6KeyPress and
    // MenuFav1Click .. MenuFav6Click, for favourites 0 to 5.
    void FavouriteButtonMouseUp(int favourite, Qt::MouseButton button);
    void FavouriteButtonKeyPress(int favourite, int key);
    void MenuFavNumberClick(int favourite);
    void MenuFavClick();
    void MenuAngleClick();
    void MenuLocatorClick();
    void MenuAideClick();
    void MenuAProposClick();
    void MenuActivityClick();
    // Runs what a source does: the requests it makes are logged as that source's.
    void fromSource(const ActivitySource &source, const std::function<void()> &action);

    // Azimuth servers: N1MM Logger over UDP, Velmundo and Beam_DX over DDE.
    void createServers();
    void connectServersToSettingsDialog();
    // sender: the logger's address, where its heading goes.
    void UDPServerUDPRead(const QByteArray &bytes, bool morePending = false, const QHostAddress &sender = {});
    void MenuServerN1MMClick();
    void MenuServerVelmundoClick();
    void menuServerBeamDXClick();
    void DdeClientConvOpen();
    void DdeClientConvClose();
    void DdeClientItemChange();
    // Applies N1mmPort + N1mmAntenna to the listener and listens again when N1MM Logger is the
    // server; a port that cannot be bound is thrown as TorvanelError.
    void moveN1mmListener();
    // The servers' steps of the frame: the listener's port at creation, the listener and the
    // DDE link at the first activation, both closed at exit.
    void setListenerDefaultPort();
    void startListenerAtFirstActivation();
    void openDdeLinkAtFirstActivation();
    void closeServers();

    // The rotctld-compatible network server, on or off whatever azimuth server is chosen.
    void createRotctldServer();
    // Shows the azimuth and sends it like MAN, whatever AUTO says, again after a stop for the
    // same azimuth: a network client's P, the locator window's Enter. reply hears the outcome.
    void turnTo(int azimuth, TrackingEngine::Reply reply = {});
    // Sends the selected rotator to a position of its overlap's travel, in the degrees it is
    // told of (370), whatever turn the shortest way would take.
    void turnToTravel(int azimuth, TrackingEngine::Reply reply = {});
    // Turns the antenna to the middle of its travel, the long way if need be, to untwist the cable.
    void MenuUnwindClick();
    // A client's M: toward the end stop on that side of the selected interface, like MAN.
    void rotctldMove(rotctld::Direction direction, const rotctld::Done &done);
    // A client's S or R, a PST STOP: the selected interface's stop, its port opened for it if need be.
    rotctld::Status rotctldStop();
    rotctld::Motion rotctldMotion() const;
    rotctld::Status rotctldStatus(Outcome outcome) const;
    // The interface the configuration chose was let go at start: its port was not there.
    bool interfaceLost() const;
    void MenuServerRotctldClick();
    // Listens on ROTCTLDPORT when ROTCTLD is on, else closes; a port that cannot be listened
    // on turns ROTCTLD off, unticks the item and is thrown as TorvanelError.
    void applyRotctldServer();
    // After the settings dialog: listens again when the port or the reach changed.
    void moveRotctldServer();
    void showRotctldCaption();
    void startRotctldAtFirstActivation();
    void closeRotctldServer();

    // The PST UDP server, on or off whatever azimuth server is chosen, like rotctld's: its
    // datagrams go out like a client's P, stop and park.
    void createPstServer();
    void MenuServerPstClick();
    // Listens on PSTUDPPORT when PSTUDP is on, else closes; a port that cannot be bound turns
    // PSTUDP off, unticks the item and is thrown as TorvanelError.
    void applyPstServer();
    void movePstServer();
    void showPstCaption();
    void startPstAtFirstActivation();
    void closePstServer();

    DriverTable drivers;
    // AUTO, the request in progress and the newest waiting; it drives the interfaces.
    TrackingEngine *engine = nullptr;
    // What the configuration file reads and writes in the windows, and the interface and port
    // choices the file held at start.
    std::unique_ptr<MainWindowConfiguration> configurationTarget;
    configuration::StoredChoices storedChoices;
    // The seven serial controllers with their channels ComPortGS ... ComPortEGI.
    std::unique_ptr<SerialDrivers> serial;
    // PourSat and FODTrack on the LPT port.
    std::unique_ptr<ParallelDrivers> parallel;
    // EA4TX through ARSWIN, KCT through Movenow.
    std::unique_ptr<HostDrivers> host;
    // Every rotator Hamlib knows, through its worker thread.
    std::unique_ptr<HamlibDriver> hamlib;

    // Components, named as the program's documentation names them.
    QFrame *PanelLampe;
    TLCD99 *LCDAzi;
    QLineEdit *EditAzimut;
    UpDown *UpDownAzi;
    QPushButton *ButtonTrack;
    QPushButton *BitBtnAuto;
    QPushButton *BitBtnStop;
    QPushButton *BitBtnLP;
    QLabel *ImageLEDOff;
    QLabel *ImageLedOn;
    QLabel *LabelEtatInterface;
    QLabel *Label1;
    QLineEdit *EditdataString;
    QLabel *Image1;
    QLabel *Image2;
    QPushButton *Button1;
    QPushButton *Button2;
    QPushButton *Button3;
    QPushButton *Button4;
    QPushButton *Button5;
    QPushButton *Button6;
    QTimer *TimerBlink;
    QTimer *TimerTrackOK;
    QTimer *TimerDDE;
    // In AUTO mode, the pause after the last key typed into the azimuth box that sends it.
    QTimer *typingPause;
    // Named as their classes, hence the qualified type names.
    ::UDPServer *UDPServer;
    ::DdeClientConv *DdeClientConv;
    ::DdeClientItem *DdeClientItem;
    RotctldServer *rotctldServer;
    PstServer *pstServer;
    // The heading sent back to N1MM Logger+.
    N1mmHeading *n1mmHeading;
    // A client's last M and the azimuth it went for, until a stop.
    std::optional<std::pair<rotctld::Direction, int>> rotctldMoving;
    // The menu bar, in its order.
    QAction *MenuQuitter;
    QAction *MenuInit;
    QAction *MenuFav;
    QAction *MenuAzimut;
    QAction *MenuLocator;
    QAction *MenuUnwind;
    QMenu *MenuServer;
    QAction *MenuServerVelmundo;
    QAction *menuServerBeamDX;
    QAction *MenuServerN1MM;
    QAction *MenuServerRotctld;
    QAction *MenuServerPst;
    QAction *MenuServerActivity;
    QMenu *MenuLangue;
    QAction *MenuEnglish;
    QAction *MenuFrancais;
    QMenu *MenuHelp;
    QAction *MenuAide;
    QAction *MenuAPropos;
    // Never shown: its items exist for their shortcuts.
    QMenu *Menuscaches;
    QAction *MenuVoirCommande;
    QAction *MenuManuel;
    QAction *MenuAuto;
    QAction *MenuStop;
    QAction *MenuLP;
    QAction *MenuAngle;
    QAction *MenuFav1;
    QAction *MenuFav2;
    QAction *MenuFav3;
    QAction *MenuFav4;
    QAction *MenuFav5;
    QAction *MenuFav6;
    TFormInfo *FormInfo = nullptr;
    TFormFav *FormFav = nullptr;
    TFormAngle *FormAngle = nullptr;
    TFormLocator *FormLocator = nullptr;
    TFormInit *FormInit = nullptr;
    ActivityWindow *FormActivity = nullptr;
    // The last requests and their outcomes, and who makes the one being made.
    ActivityLog *activity;
    ActivitySource activitySource;
    // The position on the overlap's travel that the request being made goes to; none: the
    // shortest turn.
    std::optional<int> travelWanted;

signals:
    // The window has closed: stopped, parked and saved.
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Lets the menu's shortcuts win over the focused control's own keys.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Creates the settings dialog and gives its COM groups the serial ports found.
    void createSettingsDialog();
    // The port driver check and the LPT addresses, at creation.
    void discoverParallelPorts();
    // The first activation's push of stored values into the dialog and the ports; sets the title.
    void pushStoredSettings();
    void createPanel();
    void createFavouritesRow();
    void createDiagnosticControls();
    // The drivers' last command and its port, in the hidden command label, followed by the
    // azimuth the rotator reports when it reports one.
    void showCommand(const QString &command);
    void showInterfaceState();
    void createMenus();
    void createHiddenMenu();
    // Gives the hidden items their Ctrl+Num keys.
    void assignKeypadShortcuts();
    // The enabled item whose keypad shortcut was pressed, if any.
    QAction *keypadItem(QKeyCombination pressed) const;
    void setLanguageTexts(languages::Language language);
    // The engine's result: the lamp, the beeps, the error report and the focus hand-back.
    void showTrackResult(const TrackResult &result);
    // Adds the request to the activity log, which hears its outcome.
    void logRequest(quint64 request);
    void showAutoMode(bool on);
    void showLamp(bool on);
    void selectDdeServer(QAction *item, languages::Server server, const QString &service);
    void openDdeLink(const QString &service);

    QString lastCommand;
    // The azimuth the display showed once the program had started: where the antenna was left.
    int shownAtStart = 0;
    bool firstShowDone = false;
    // From the first close request on, no source starts a command but the exit's parking.
    bool closeRequested = false;
    bool parkingAtExit = false;
    bool skipRotatorAtExit = false;
    bool closing = false;
    bool activating = false;
    // The azimuth box's change in progress was typed by the operator.
    bool boxTyped = false;
    // A datagram burst from the logger, whose newest azimuth alone is sent.
    bool listenerBurst = false;
};
