#include "sources/angle_window.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "platform/error.h"
#include "platform/ui_services.h"
#include "sources/whole_number.h"

TFormAngle::TFormAngle(QWidget *parent, AzimuthInput mainWindow)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      mainWindow(std::move(mainWindow))
{
    setObjectName(QStringLiteral("FormAngle"));
    setWindowTitle(QStringLiteral("Angle"));
    setFixedSize(117, 83);
    move(485, 116);
    EditAngle = new QLineEdit(QStringLiteral("0"), this);
    EditAngle->setObjectName(QStringLiteral("EditAngle"));
    EditAngle->setGeometry(8, 8, 89, 52);
    EditAngle->setFont(QFont(QStringLiteral("Arial"), 28, QFont::Bold));
    EditAngle->setMaxLength(3);
    EditAngle->installEventFilter(this);
}

bool TFormAngle::eventFilter(QObject *watched, QEvent *event)
{
    // The window manager activates the window after the program asked, and a line edit keeps
    // its selection only on Tab focus. A click that follows still places the caret.
    if (watched == EditAngle && event->type() == QEvent::FocusIn
        && static_cast<QFocusEvent *>(event)->reason() == Qt::ActiveWindowFocusReason)
        EditAngle->selectAll();
    if (watched == EditAngle && event->type() == QEvent::KeyPress) {
        bool taken = false;
        platform::guarded([&] { taken = EditAngleKeyDown(static_cast<QKeyEvent *>(event)->key()); });
        return taken;
    }
    return QWidget::eventFilter(watched, event);
}

// A line edit selects its text on Tab focus only; the operator must always type over the
// azimuth shown, whichever way the window came forward.
void TFormAngle::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    EditAngle->selectAll();
}

void TFormAngle::takeFocus()
{
    // An entry that already has the keyboard may be half typed into: leave it as it is. Asking
    // an active window to activate again would also make some window managers hand the focus
    // out and back.
    if (isActiveWindow() && EditAngle->hasFocus())
        return;
    activateWindow();
    EditAngle->setFocus();
    EditAngle->selectAll();
}

bool TFormAngle::EditAngleKeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    Traiter();
    return true;
}

void TFormAngle::Traiter()
{
    const std::optional<int> number = wholeNumber(EditAngle->text());
    // Unlike the logger's requests, 360 is refused here.
    if (!number || *number < 0 || *number > 359) {
        refuse();
        return;
    }
    const int azimuth = *number;
    EditAngle->selectAll();
    SkipAngleEcho = true;
    mainWindow.setPosition(azimuth);
    SkipAngleEcho = false;
    if (mainWindow.autoOn())
        mainWindow.track();
}

void TFormAngle::refuse()
{
    platform::ui().beep(platform::Beep::Default);
    // The azimuth stays as it was: Enter again must not turn the antenna anywhere else.
    EditAngle->setText(mainWindow.shown());
    EditAngle->selectAll();
}

void TFormAngle::echo(int azimuth)
{
    if (SkipAngleEcho) {
        SkipAngleEcho = false;
        return;
    }
    EditAngle->setText(QString::number(azimuth));
    EditAngle->selectAll();
}
