#include "ui/main_window_configuration.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/settings.h"
#include "platform/serial_names.h"
#include "rotator/serial_protocols.h"
#include "sources/angle_window.h"
#include "sources/locator_window.h"
#include "ui/settings_dialog.h"
#include "ui/tform1.h"
#include "ui/window_placement.h"

using namespace configuration;

MainWindowConfiguration::MainWindowConfiguration(TForm1 *window)
    : window(window), storedMainWindow{window->x(), window->y(), window->width(), window->height()}
{
}

void MainWindowConfiguration::rememberStartChoices()
{
    started = true;
    startInterface = settings().ANT;
    for (int i = 0; i < InterfaceCount; ++i)
        startPorts[i] = portChoice(i);
}

QString MainWindowConfiguration::portChoice(int rotatorInterface) const
{
    if (rotatorInterface == PourSat)
        return QString::number(settings().LPT_POURSAT);
    if (rotatorInterface == FODTrack)
        return QString::number(settings().LPT_FODTRACK);
    return selectedPortItem(rotatorInterface);
}

void MainWindowConfiguration::applyLanguage(Language language)
{
    (language == Language::French ? window->MenuFrancais : window->MenuEnglish)->trigger();
}

void MainWindowConfiguration::pressAuto()
{
    window->BitBtnAuto->click();
}

void MainWindowConfiguration::selectServer(AzimuthServer server)
{
    QAction *const items[] = {window->MenuServerVelmundo, window->menuServerBeamDX, window->MenuServerN1MM};
    items[int(server)]->trigger();
}

void MainWindowConfiguration::applyBaud(int rotatorInterface, int baudIndex)
{
    // Hamlib takes its rate from the setting when it opens the port.
    if (rotatorInterface != Hamlib)
        window->serial->channel(rotatorInterface).setBaudRate(baudRate(baudIndex));
}

// The dialog does not exist yet while the file is read; its boxes take these at the first
// activation.
void MainWindowConfiguration::turnOnEL_GS232()
{
    settings().EL_GS232 = true;
}

void MainWindowConfiguration::turnOnTKB_HOST()
{
    settings().TKB_HOST = true;
}

const TFormInit *MainWindowConfiguration::filledDialog() const
{
    return started ? window->FormInit : nullptr;
}

void MainWindowConfiguration::moveMainWindow(WindowMeasure measure, int pixels)
{
    storedMainWindow.at(int(measure)) = pixels;
    pixels = boundedWindowMeasure(pixels);
    switch (measure) {
    case WindowMeasure::Left: window->move(pixels, window->y()); break;
    case WindowMeasure::Top: window->move(window->x(), pixels); break;
    case WindowMeasure::Width: window->resize(pixels, window->height()); break;
    case WindowMeasure::Height: window->resize(window->width(), pixels); break;
    }
}

void MainWindowConfiguration::setFavouriteCaption(int favourite, const QString &caption)
{
    settings().FavouriteButtons.at(favourite)->setText(caption);
}

Language MainWindowConfiguration::language() const
{
    return window->language() == languages::Language::French ? Language::French : Language::English;
}

bool MainWindowConfiguration::autoOn() const
{
    return window->autoOn();
}

AzimuthServer MainWindowConfiguration::server() const
{
    if (window->MenuServerN1MM->isChecked())
        return AzimuthServer::N1MM;
    return window->menuServerBeamDX->isChecked() ? AzimuthServer::BeamDX : AzimuthServer::Velmundo;
}

QString MainWindowConfiguration::portN1mmText() const
{
    const TFormInit *dialog = filledDialog();
    return dialog ? dialog->EditPortN1MM->text() : settings().PORTN1MM;
}

QString MainWindowConfiguration::antN1mmText() const
{
    const TFormInit *dialog = filledDialog();
    return dialog ? dialog->EditAntN1MM->text() : settings().ANTN1MM;
}

QString MainWindowConfiguration::selectedPortItem(int rotatorInterface) const
{
    const TFormInit *dialog = filledDialog();
    const RadioGroup *group = dialog ? dialog->comGroup(rotatorInterface) : nullptr;
    if (!group) {
        const SerialProtocol *protocol = serialProtocol(rotatorInterface);
        const int port = protocol ? settings().*protocol->port : -1;
        return port < 0 ? QString() : platform::comPortName(port);
    }
    return group->itemIndex() < 0 ? QString() : group->itemText(group->itemIndex());
}

bool MainWindowConfiguration::EL_GS232() const
{
    const TFormInit *dialog = filledDialog();
    return dialog ? dialog->CheckBoxGSel->isChecked() : settings().EL_GS232;
}

bool MainWindowConfiguration::TKB_HOST() const
{
    const TFormInit *dialog = filledDialog();
    return dialog ? dialog->CheckBoxTKBHost->isChecked() : settings().TKB_HOST;
}

QString MainWindowConfiguration::kctDirectoryText() const
{
    const TFormInit *dialog = filledDialog();
    return dialog ? dialog->EditKctMove->text() : settings().MOVENOW;
}

// Outer position and inner size: the same quantities are applied when the file is read, so
// the window neither drifts nor grows from one start to the next.
int MainWindowConfiguration::mainWindowMeasure(WindowMeasure measure) const
{
    if (!started)
        return storedMainWindow.at(int(measure));
    switch (measure) {
    case WindowMeasure::Left: return window->x();
    case WindowMeasure::Top: return window->y();
    case WindowMeasure::Width: return window->width();
    case WindowMeasure::Height: return window->height();
    }
    return 0;
}

QPoint MainWindowConfiguration::angleWindowPosition() const
{
    return window->FormAngle ? window->FormAngle->pos() : QPoint();
}

bool MainWindowConfiguration::angleWindowVisible() const
{
    return window->FormAngle && window->FormAngle->isVisible();
}

QPoint MainWindowConfiguration::locatorWindowPosition() const
{
    return window->FormLocator ? window->FormLocator->pos() : QPoint();
}

bool MainWindowConfiguration::locatorWindowVisible() const
{
    return window->FormLocator && window->FormLocator->isVisible();
}

QString MainWindowConfiguration::angleText() const
{
    // The stored angle reaches the entry at the first activation.
    if (settings().AnglePending)
        return settings().ANGLE;
    return window->FormAngle ? window->FormAngle->EditAngle->text() : QString();
}

bool MainWindowConfiguration::userChangedInterface() const
{
    return started && settings().ANT != startInterface;
}

bool MainWindowConfiguration::userChangedPort(int rotatorInterface) const
{
    return started && portChoice(rotatorInterface) != startPorts.at(rotatorInterface);
}
