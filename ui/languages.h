#pragma once

#include <optional>
#include <QString>

struct Settings;

// The texts of the main window and the shared messages in English and French.
namespace languages {

enum class Language { English, French };
enum class Server { Velmundo, BeamDX, N1mm };

// The main window's captions that follow the language.
enum class Caption { Quit, Favourites, Azimuth, Language, About, Help, Activity };

QString caption(Caption item, Language language);

// "Server", or "Server (Velmundo)" when a server is chosen; without an accelerator.
QString serverMenuCaption(Language language, std::optional<Server> chosen);

// "rotctld server (4533)": the network server's item, with its port.
QString rotctldCaption(Language language, int port);
// "PST UDP server (12000)": the PST listener's item, with its port.
QString pstCaption(Language language, int port);

// "Can't open the help page <file>": the page is missing or no program opens it.
QString helpNotOpened(Language language, const QString &file);

// Why the activity window says a request was refused.
enum class Refusal { NotANumber, OutOfRange, NoInterface };
QString refusal(Language language, Refusal why);

// Sets the messages that other windows show in the current language.
void setSharedMessages(Settings &s, Language language);

} // namespace languages
