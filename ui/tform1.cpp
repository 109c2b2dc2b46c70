#include "ui/tform1.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include "app/settings.h"
#include "platform/error.h"
#include "ui/pictures.h"
#include "ui/up_down.h"
#include "widgets/lcd99.h"

namespace {

QPushButton *panelButton(QWidget *parent, const QString &caption, int left, int pointSize)
{
    auto *button = new QPushButton(caption, parent);
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

} // namespace

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("TORVANEL"));
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    createPanel();
    createHiddenMenu();

    TimerBlink = new QTimer(this);
    TimerBlink->setInterval(300);
    connect(TimerBlink, &QTimer::timeout, this, [this] { platform::guarded([this] { TimerBlinkTimer(); }); });
    TimerTrackOK = new QTimer(this);
    TimerTrackOK->setInterval(3600);
    connect(TimerTrackOK, &QTimer::timeout, this, [this] { platform::guarded([this] { TimerTrackOKTimer(); }); });
    TimerTrackOK->start();

    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::createPanel()
{
    auto *client = new QWidget(this);
    setCentralWidget(client);
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
    LCDAzi = new TLCD99(PanelLampe);
    LCDAzi->setGeometry(8, 6, 92, 35);
    LCDAzi->raise();
    UpDownAzi = new UpDown(EditAzimut, -1, 360, PanelLampe);
    UpDownAzi->setGeometry(103, 6, 37, 36);

    ButtonTrack = panelButton(PanelLampe, QStringLiteral("MAN"), 141, 10);
    BitBtnAuto = panelButton(PanelLampe, QStringLiteral("AUTO OFF"), 183, 9);
    BitBtnStop = panelButton(PanelLampe, QStringLiteral("STOP"), 225, 10);
    BitBtnLP = panelButton(PanelLampe, QStringLiteral("LP"), 267, 10);
    BitBtnAuto->setStyleSheet(QStringLiteral("padding: 0px; color: black;"));
    ImageLEDOff = lamp(PanelLampe, false);
    ImageLedOn = lamp(PanelLampe, true);
    ImageLedOn->hide();

    LabelEtatInterface = new QLabel(QStringLiteral("commande"), client);
    LabelEtatInterface->move(8, 87);
    LabelEtatInterface->setFont(QFont(QStringLiteral("Arial")));
    LabelEtatInterface->setTextFormat(Qt::PlainText);
    LabelEtatInterface->hide();
    Label1 = new QLabel(QStringLiteral("Defaultport "), client);
    Label1->move(128, 88);
    Label1->hide();

    auto guardedClick = [this](QPushButton *button, void (TForm1::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { platform::guarded([=, this] { (this->*handler)(); }); });
    };
    guardedClick(ButtonTrack, &TForm1::ButtonTrackClick);
    guardedClick(BitBtnAuto, &TForm1::BitBtnAutoClick);
    guardedClick(BitBtnStop, &TForm1::BitBtnStopClick);
    guardedClick(BitBtnLP, &TForm1::BitBtnLPClick);
    connect(EditAzimut, &QLineEdit::textChanged, this, [this] { platform::guarded([this] { EditAzimutChange(); }); });
    connect(UpDownAzi, &UpDown::mouseDown, this, [this] { platform::guarded([this] { UpDownAziMouseDown(); }); });
    connect(UpDownAzi, &UpDown::mouseUp, this, [this] { platform::guarded([this] { UpDownAziMouseUp(); }); });
}

void TForm1::createHiddenMenu()
{
    // Hidden items stay visible actions of an unshown submenu: an invisible action has no
    // working shortcut.
    Menuscaches = new QMenu(QString::fromUtf8("Menus  cachés"), this);
    auto hiddenItem = [this](const QString &caption, void (TForm1::*handler)()) {
        QAction *action = Menuscaches->addAction(caption);
        action->setShortcutContext(Qt::ApplicationShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, [this, handler] { platform::guarded([=, this] { (this->*handler)(); }); });
        return action;
    };
    MenuAuto = hiddenItem(QString::fromUtf8("Auto (caché)"), &TForm1::MenuAutoClick);
    MenuStop = hiddenItem(QString::fromUtf8("Stop (caché)"), &TForm1::MenuStopClick);
    MenuLP = hiddenItem(QString::fromUtf8("LP (caché)"), &TForm1::MenuLPClick);
}

void TForm1::FormCreate()
{
    Settings &s = settings();
    s.AutoButtonHeight = BitBtnAuto->height();
    s.AutoButtonLeft = BitBtnAuto->x();
    s.AutoButtonTop = BitBtnAuto->y();
    s.Starting = true;
    cadran();
    s.Starting = false;
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
    if (s.Activated)
        return;
    s.Activated = true;
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (!closing) {
        closing = true;
        platform::guarded([this] { FormClose(); });
    }
    event->accept();
}

void TForm1::FormClose()
{
    Stop_Track();
}

void TForm1::MenuQuitterClick()
{
    close();
}

void TForm1::focusAngleWindow()
{
    if (angleWindow && angleWindow->isVisible()) {
        angleWindow->activateWindow();
        angleWindow->setFocus();
    }
}
