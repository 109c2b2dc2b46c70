// The main window's menus, their shortcuts and the language switch.
#include "ui/tform1.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "app/settings.h"
#include "platform/error.h"
#include "ui/activity_log.h"
#include "ui/activity_window.h"

using languages::Caption;
using languages::Language;
using languages::Server;

namespace {

// Every item answers its shortcut from every window of the program. Items stay visible
// actions of the window as well: an invisible action has no working shortcut.
QAction *menuItem(TForm1 *window, QWidget *container, const char *name, const QString &caption,
                  const QKeySequence &shortcut = {})
{
    auto *item = new QAction(caption, window);
    item->setObjectName(QLatin1String(name));
    item->setShortcut(shortcut);
    item->setShortcutContext(Qt::ApplicationShortcut);
    container->addAction(item);
    window->addAction(item);
    return item;
}

QMenu *submenu(TForm1 *window, const char *name, const QString &caption)
{
    auto *menu = new QMenu(caption, window);
    menu->setObjectName(QLatin1String(name));
    return menu;
}

void radioGroup(TForm1 *window, std::initializer_list<QAction *> items)
{
    auto *group = new QActionGroup(window);
    for (QAction *item : items) {
        item->setCheckable(true);
        group->addAction(item);
    }
}

} // namespace

void TForm1::connectItem(QAction *item, void (TForm1::*handler)())
{
    connect(item, &QAction::triggered, this, [this, handler] { platform::guarded([=, this] { (this->*handler)(); }); });
}

void TForm1::createMenus()
{
    QMenuBar *bar = menuBar();
    // In the window, as designed, whatever the desktop offers.
    bar->setNativeMenuBar(false);
    MenuQuitter = menuItem(this, bar, "MenuQuitter", QStringLiteral("Quit"), Qt::CTRL | Qt::Key_Q);
    MenuInit = menuItem(this, bar, "MenuInit", QStringLiteral("Init"), Qt::CTRL | Qt::Key_I);
    MenuFav = menuItem(this, bar, "MenuFav", QStringLiteral("My Favourites"), Qt::CTRL | Qt::Key_M);
    MenuAzimut = menuItem(this, bar, "MenuAzimut", QStringLiteral("Azimuth"));
    // Short: at the window's width the bar keeps every item in both languages, whichever server.
    MenuLocator = menuItem(this, bar, "MenuLocator", QStringLiteral("Loc"), Qt::CTRL | Qt::Key_L);
    // Shown only for a rotator that turns past a whole turn; a sign, the same in both languages,
    // so that the bar still holds every other item at the window's width with a server chosen.
    MenuUnwind = menuItem(this, bar, "MenuUnwind", QString::fromUtf8("\u21BA"), Qt::CTRL | Qt::Key_U);
    MenuUnwind->setVisible(false);
    connectItem(MenuUnwind, &TForm1::MenuUnwindClick);

    MenuServer = submenu(this, "MenuServer", QStringLiteral("Server"));
    bar->addMenu(MenuServer);
    MenuServerVelmundo = menuItem(this, MenuServer, "MenuServerVelmundo", QStringLiteral("Velmundo"),
                                  Qt::CTRL | Qt::ALT | Qt::Key_A);
    menuServerBeamDX = menuItem(this, MenuServer, "menuServerBeamDX", QStringLiteral("Beam_DX"),
                                Qt::CTRL | Qt::ALT | Qt::Key_B);
    MenuServerN1MM = menuItem(this, MenuServer, "MenuServerN1MM", QStringLiteral("N1MM Logger"),
                              Qt::CTRL | Qt::ALT | Qt::Key_N);
    radioGroup(this, {MenuServerVelmundo, menuServerBeamDX, MenuServerN1MM});
    MenuServerVelmundo->setChecked(true);
    // Beside the azimuth servers, not one of them: it runs whichever of them is chosen.
    MenuServer->addSeparator();
    MenuServerRotctld = menuItem(this, MenuServer, "MenuServerRotctld", languages::rotctldCaption(Language::English, settings().ROTCTLDPORT));
    MenuServerRotctld->setCheckable(true);
    MenuServerPst = menuItem(this, MenuServer, "MenuServerPst", languages::pstCaption(Language::English, settings().PSTUDPPORT));
    MenuServerPst->setCheckable(true);
    MenuServer->addSeparator();
    MenuServerActivity = menuItem(this, MenuServer, "MenuServerActivity", QStringLiteral("Activity"), Qt::CTRL | Qt::Key_J);

    MenuLangue = submenu(this, "MenuLangue", QStringLiteral("Language"));
    bar->addMenu(MenuLangue);
    MenuEnglish = menuItem(this, MenuLangue, "MenuEnglish", QStringLiteral("English"), Qt::CTRL | Qt::Key_E);
    MenuFrancais = menuItem(this, MenuLangue, "MenuFrancais", QStringLiteral("Français"), Qt::CTRL | Qt::Key_F);
    radioGroup(this, {MenuEnglish, MenuFrancais});
    MenuEnglish->setChecked(true);
    connectItem(MenuEnglish, &TForm1::MenuEnglishClick);
    connectItem(MenuFrancais, &TForm1::MenuFrancaisClick);

    MenuHelp = submenu(this, "MenuHelp", QStringLiteral("?"));
    bar->addMenu(MenuHelp);
    MenuAide = menuItem(this, MenuHelp, "MenuAide", QStringLiteral("Help"), Qt::Key_F1);
    MenuAPropos = menuItem(this, MenuHelp, "MenuAPropos", QStringLiteral("About Torvanel"));

    connectItem(MenuQuitter, &TForm1::MenuQuitterClick);
    createHiddenMenu();
}

void TForm1::createHiddenMenu()
{
    // Not in the menu bar, so never shown.
    Menuscaches = submenu(this, "Menuscaches", QStringLiteral("Menus  cachés"));
    MenuVoirCommande = menuItem(this, Menuscaches, "MenuVoirCommande", QStringLiteral("Voir Commande (caché)"),
                                Qt::CTRL | Qt::ALT | Qt::Key_S);
    MenuManuel = menuItem(this, Menuscaches, "MenuManuel", QStringLiteral("MAN (caché)"));
    MenuAuto = menuItem(this, Menuscaches, "MenuAuto", QStringLiteral("Auto (caché)"));
    MenuStop = menuItem(this, Menuscaches, "MenuStop", QStringLiteral("Stop (caché)"));
    MenuLP = menuItem(this, Menuscaches, "MenuLP", QStringLiteral("LP (caché)"));
    MenuAngle = menuItem(this, Menuscaches, "MenuAngle", QStringLiteral("Angle (caché)"));
    QAction **const favourites[] = {&MenuFav1, &MenuFav2, &MenuFav3, &MenuFav4, &MenuFav5, &MenuFav6};
    for (int i = 0; i < 6; ++i) {
        const QByteArray name = "MenuFav" + QByteArray::number(i + 1);
        *favourites[i] = menuItem(this, Menuscaches, name.constData(),
                                  QStringLiteral("Fav%1 (caché)").arg(i + 1));
    }
    connectItem(MenuVoirCommande, &TForm1::menuVoirCommandeClick);
    connectItem(MenuManuel, &TForm1::MenuManuelClick);
    connectItem(MenuAuto, &TForm1::MenuAutoClick);
    connectItem(MenuStop, &TForm1::MenuStopClick);
    connectItem(MenuLP, &TForm1::MenuLPClick);
}

void TForm1::assignKeypadShortcuts()
{
    // Ctrl with a key of the numeric keypad only: the digits of the main rows stay free.
    const std::pair<QAction *, Qt::Key> keys[] = {
        {MenuFav1, Qt::Key_1}, {MenuFav2, Qt::Key_2}, {MenuFav3, Qt::Key_3}, {MenuFav4, Qt::Key_4},
        {MenuFav5, Qt::Key_5}, {MenuFav6, Qt::Key_6}, {MenuAngle, Qt::Key_7}, {MenuLP, Qt::Key_8},
        {MenuStop, Qt::Key_9}, {MenuAuto, Qt::Key_0}};
    for (const auto &[item, key] : keys)
        item->setShortcut(Qt::ControlModifier | Qt::KeypadModifier | key);
}

QAction *TForm1::keypadItem(QKeyCombination pressed) const
{
    if (!(pressed.keyboardModifiers() & Qt::KeypadModifier))
        return nullptr;
    for (QAction *item : actions()) {
        if (item->isEnabled() && item->shortcut() == QKeySequence(pressed))
            return item;
    }
    return nullptr;
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    // Whichever way the box takes the keyboard (a click on the display, Tab, the window's
    // activation), what the operator types replaces the azimuth shown.
    if (watched == EditAzimut && event->type() == QEvent::FocusIn)
        EditAzimut->selectAll();
    const bool override = event->type() == QEvent::ShortcutOverride;
    if (override || event->type() == QEvent::KeyPress) {
        const QKeyCombination pressed = static_cast<QKeyEvent *>(event)->keyCombination();
        // On xcb a shortcut with the keypad modifier never matches, and the key would then type
        // its digit into the focused field: the key is claimed here and its item run on every
        // platform alike. With NumLock off the keypad sends navigation keys, which match nothing.
        if (QAction *item = keypadItem(pressed)) {
            if (override)
                event->accept();
            else if (isEnabled() && !QApplication::activeModalWidget())
                item->trigger();
            return true;
        }
        // A line edit claims Ctrl+E and other keys for itself on some desktops; the menu's
        // shortcuts come first, as users of the program expect.
        if (override) {
            for (const QAction *item : actions()) {
                if (item->isEnabled() && item->shortcut() == QKeySequence(pressed)) {
                    event->ignore();
                    return true;
                }
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

Language TForm1::language() const
{
    return MenuFrancais->isChecked() ? Language::French : Language::English;
}

void TForm1::MenuEnglishClick()
{
    MenuEnglish->setChecked(true);
    setLanguageTexts(Language::English);
}

void TForm1::MenuFrancaisClick()
{
    MenuFrancais->setChecked(true);
    setLanguageTexts(Language::French);
}

void TForm1::setLanguageTexts(Language language)
{
    const std::pair<QAction *, Caption> captions[] = {
        {MenuQuitter, Caption::Quit},         {MenuFav, Caption::Favourites},
        {MenuAzimut, Caption::Azimuth},       {MenuLangue->menuAction(), Caption::Language},
        {MenuAPropos, Caption::About},        {MenuAide, Caption::Help},
        {MenuServerActivity, Caption::Activity}};
    for (const auto &[item, caption] : captions)
        item->setText(languages::caption(caption, language));

    const std::pair<QAction *, Server> servers[] = {
        {MenuServerVelmundo, Server::Velmundo}, {menuServerBeamDX, Server::BeamDX}, {MenuServerN1MM, Server::N1mm}};
    std::optional<Server> chosen;
    for (const auto &[item, server] : servers) {
        if (item->isChecked())
            chosen = server;
    }
    MenuServer->setTitle(languages::serverMenuCaption(language, chosen));
    showRotctldCaption();
    showPstCaption();
    activity->setLanguage(language);
    if (FormActivity)
        FormActivity->setLanguageTexts(language == Language::French);
    languages::setSharedMessages(settings(), language);
}

void TForm1::menuVoirCommandeClick()
{
    LabelEtatInterface->show();
    Label1->show();
    EditdataString->show();
}

void TForm1::MenuManuelClick()
{
    ButtonTrack->click();
}
