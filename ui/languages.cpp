#include "ui/languages.h"

#include "app/settings.h"

namespace languages {

namespace {

struct Texts {
    const char *english;
    const char *french;
};

QString pick(const Texts &texts, Language language)
{
    return QString::fromUtf8(language == Language::English ? texts.english : texts.french);
}

// Indexed by Caption.
const Texts captions[] = {
    {"Quit", "Quitter"},
    {"My Favourites", "Mes Favoris"},
    {"Azimuth", "Azimut"},
    {"Language", "Langue"},
    {"About Torvanel", "A propos de Torvanel"},
    {"Help", "Aide"},
    {"Activity", "Activité"},
};

// Indexed by Server.
const char *const serverNames[] = {"Velmundo", "Beam_DX", "N1MM"};

const Texts serverMenu = {"Server", "Serveur"};

const Texts rotctldItem = {"rotctld server (%1)", "Serveur rotctld (%1)"};
const Texts pstItem = {"PST UDP server (%1)", "Serveur PST UDP (%1)"};
const Texts helpPageFailure = {"Can't open the help page %1", "Ne peut ouvrir la page d'aide %1"};

struct Message {
    QString Settings::*member;
    Texts texts;
};

const Message messages[] = {
    {&Settings::MsgCannotCreateConfig, {"Can't create Torvanel.ini", "Ne peut créer Torvanel.ini"}},
    {&Settings::MsgArswinNotRunning, {"ARSWIN must be running !", "ARSWIN doit s'exécuter !"}},
    {&Settings::MsgPortDriverMissing,
     {"Parallel port driver (ppdev) is not available.\r\n"
      "It is mandatory when controling an LPT port.\r\n"
      "Please load ppdev and give your user access to /dev/parport*\r\n"
      "and restart TORVANEL.",
      "Le pilote du port parallèle (ppdev) n'est pas disponible.\r\n"
      "Il est nécessaire lors du contrôle d'un port LPT.\r\n"
      "SVP charger ppdev et donner accès à /dev/parport*\r\n"
      "et redémarrez TORVANEL."}},
};

} // namespace

QString caption(Caption item, Language language)
{
    return pick(captions[int(item)], language);
}

QString serverMenuCaption(Language language, std::optional<Server> chosen)
{
    const QString menu = pick(serverMenu, language);
    if (!chosen)
        return menu;
    return menu + QStringLiteral(" (") + QLatin1String(serverNames[int(*chosen)]) + QLatin1Char(')');
}

QString helpNotOpened(Language language, const QString &file)
{
    return pick(helpPageFailure, language).arg(file);
}

QString refusal(Language language, Refusal why)
{
    // Indexed by Refusal.
    static const Texts reasons[] = {{"not a number", "pas un nombre"},
                                    {"out of range", "hors limites"},
                                    {"no interface selected", "aucune interface choisie"}};
    return pick(reasons[int(why)], language);
}

QString rotctldCaption(Language language, int port)
{
    return pick(rotctldItem, language).arg(port);
}

QString pstCaption(Language language, int port)
{
    return pick(pstItem, language).arg(port);
}

void setSharedMessages(Settings &s, Language language)
{
    for (const Message &message : messages)
        s.*message.member = pick(message.texts, language);
}

} // namespace languages
