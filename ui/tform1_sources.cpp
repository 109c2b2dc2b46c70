// The main window's favourites, angle window, about box and help.
#include "ui/tform1.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include "app/paths.h"
#include "app/settings.h"
#include "platform/error.h"
#include "platform/ui_services.h"
#include "sources/angle_window.h"
#include "sources/favourites.h"
#include "sources/locator_window.h"
#include "ui/about.h"
#include "ui/activity_window.h"
#include "ui/up_down.h"
#include "ui/window_placement.h"

namespace {

// Hands the mouse releases and key presses of the favourite buttons to the main window; the
// buttons keep their own handling of the events.
class FavouriteButtonEvents : public QObject
{
public:
    FavouriteButtonEvents(TForm1 *window, int favourite) : QObject(window), window(window), favourite(favourite) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto button = static_cast<QMouseEvent *>(event)->button();
            platform::guarded([&] { window->FavouriteButtonMouseUp(favourite, button); });
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            platform::guarded([&] { window->FavouriteButtonKeyPress(favourite, key); });
        }
        return false;
    }

private:
    TForm1 *window;
    int favourite;
};

// Shows a secondary window, or brings it forward when it is already shown.
void bringForward(QWidget *window)
{
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

// Brought on screen when it is shown, not when it is placed: a window that stays hidden keeps its
// stored place in the file.
void keepSmallWindowOnScreen(QWidget *window)
{
    if (!window->isVisible())
        keepOnScreen(window, window->size());
}

// Where the window was at the last exit, and open again if it was; 0 leaves it where it was
// designed.
void placeSmallWindow(QWidget *window, int left, int top, int visible)
{
    if (top != 0)
        window->move(window->x(), boundedWindowMeasure(top));
    if (left != 0)
        window->move(boundedWindowMeasure(left), window->y());
    if (visible == 1) {
        keepSmallWindowOnScreen(window);
        window->show();
    }
}

// Forward, on screen, its entry wholly selected for typing.
void showSmallWindow(QWidget *window, QLineEdit *entry)
{
    keepSmallWindowOnScreen(window);
    bringForward(window);
    entry->setFocus();
    entry->selectAll();
}

} // namespace

void TForm1::createSmallWindows()
{
    Settings &s = settings();
    FormInfo = new TFormInfo(this);
    FormFav = new TFormFav(this, [this] { return language() == languages::Language::French; });
    const ActivitySource angleWindow{ActivitySource::AngleWindow, {}};
    FormAngle = new TFormAngle(this, {[=, this](int azimuth) { fromSource(angleWindow, [&] { UpDownAzi->setPosition(azimuth); }); },
                                      [this] { return autoOn(); },
                                      [=, this] { fromSource(angleWindow, [this] { ButtonTrackClick(); }); },
                                      [this] { return EditAzimut->text(); }});
    FormLocator = new TFormLocator(this, {[] { return settings().MYLOCATOR; },
                                          [this](int azimuth) {
                                              fromSource({ActivitySource::LocatorWindow, {}}, [&] { turnTo(azimuth); });
                                          },
                                          [this] { return language() == languages::Language::French; }});
    FormActivity = new ActivityWindow(this, activity);
    FormActivity->setLanguageTexts(language() == languages::Language::French);

    QPushButton *const buttons[] = {Button1, Button2, Button3, Button4, Button5, Button6};
    QAction *const items[] = {MenuFav1, MenuFav2, MenuFav3, MenuFav4, MenuFav5, MenuFav6};
    for (int favourite = 0; favourite < 6; ++favourite) {
        buttons[favourite]->installEventFilter(new FavouriteButtonEvents(this, favourite));
        connect(items[favourite], &QAction::triggered, this,
                [this, favourite] { platform::guarded([=, this] { MenuFavNumberClick(favourite); }); });
    }
    connectItem(MenuFav, &TForm1::MenuFavClick);
    connectItem(MenuAzimut, &TForm1::MenuAngleClick);
    connectItem(MenuAngle, &TForm1::MenuAngleClick);
    connectItem(MenuLocator, &TForm1::MenuLocatorClick);
    connectItem(MenuAide, &TForm1::MenuAideClick);
    connectItem(MenuAPropos, &TForm1::MenuAProposClick);
    connectItem(MenuServerActivity, &TForm1::MenuActivityClick);

    placeSmallWindow(FormAngle, s.WALEFT, s.WATOP, s.WANGLE);
    placeSmallWindow(FormLocator, s.WLLEFT, s.WLTOP, s.WLOC);
}

void TForm1::FavouriteButtonMouseUp(int favourite, Qt::MouseButton button)
{
    if (button == Qt::RightButton)
        MenuFavClick();
    else
        FavouriteButtonKeyPress(favourite, Qt::Key_Space);
}

void TForm1::FavouriteButtonKeyPress(int favourite, int key)
{
    if (key == Qt::Key_Space)
        fromSource({ActivitySource::Favourite, QString::number(favourite + 1)},
                   [&] { UpDownAzi->setPosition(settings().FAVAZ.at(favourite)); });
}

void TForm1::MenuFavNumberClick(int favourite)
{
    FavouriteButtonMouseUp(favourite, Qt::LeftButton);
}

void TForm1::MenuFavClick()
{
    bringForward(FormFav);
}

void TForm1::MenuAngleClick()
{
    showSmallWindow(FormAngle, FormAngle->EditAngle);
}

void TForm1::MenuLocatorClick()
{
    showSmallWindow(FormLocator, FormLocator->EditLocator);
}

void TForm1::MenuAideClick()
{
    QString directory = settings().ExeDir;
    if (directory.isEmpty())
        directory = QCoreApplication::applicationDirPath();
    directory = helpDirectory(directory);
    if (!directory.endsWith(QLatin1Char('/')))
        directory += QLatin1Char('/');
    const bool french = language() == languages::Language::French;
    const QString page = directory + (french ? QStringLiteral("torvanel_fr.htm") : QStringLiteral("torvanel_en.htm"));
    // F1 that does nothing visible leaves the operator guessing.
    if (!QFileInfo(page).isFile() || !platform::ui().open(page))
        platform::ui().message(platform::MessageKind::Warning, languages::helpNotOpened(language(), page));
}

void TForm1::MenuActivityClick()
{
    bringForward(FormActivity);
}

void TForm1::MenuAProposClick()
{
    FormInfo->Label1->setText(QStringLiteral("TORVANEL") + settings().VersionText + QStringLiteral("[DX]"));
    bringForward(FormInfo);
}
