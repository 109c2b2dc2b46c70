#pragma once

#include <QMainWindow>

#include "rotator/driver_table.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
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

    // Tracking engine.
    void ButtonTrackClick();
    void EditAzimutChange();
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

    bool autoOn() const;
    // Gives the angle window the keyboard focus when it is visible.
    void focusAngleWindow();

    DriverTable drivers;

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
    QTimer *TimerBlink;
    QTimer *TimerTrackOK;
    QMenu *Menuscaches;
    QAction *MenuAuto;
    QAction *MenuStop;
    QAction *MenuLP;
    QWidget *angleWindow = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createPanel();
    void createHiddenMenu();
    void sendAzimuth();
    void showLamp(bool on);
    // Redraws the compass dial for the azimuth box's number.
    void cadran();

    bool firstShowDone = false;
    bool closing = false;
    bool trackInProgress = false;
    bool trackRequestedAgain = false;
};
