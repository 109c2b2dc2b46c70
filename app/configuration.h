#pragma once

#include <array>
#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPoint>
#include <QString>
#include <QStringConverter>
#include <QStringList>

#include "app/settings.h"

// The configuration file Torvanel.ini: its lines, their reading and writing, and the file itself.
namespace configuration {

// The file holds about a hundred short lines; anything larger is not one of ours. The writer
// stays within it too, so that the next start reads what this one wrote.
constexpr qint64 largestFile = 1024 * 1024;

enum class Language { English, French };
enum class AzimuthServer { Velmundo, BeamDX, N1MM };
enum class WindowMeasure { Left, Top, Width, Height };

// The settings that live as the state of a window's controls, and the controls that the
// configuration acts on while it is read. The main window implements it.
class ConfigurationTarget
{
public:
    virtual ~ConfigurationTarget() = default;

    // Applied while the file is read.
    virtual void applyLanguage(Language language) = 0;          // clicks MenuEnglish or MenuFrancais
    virtual void pressAuto() = 0;                               // clicks BitBtnAuto
    virtual void selectServer(AzimuthServer server) = 0;        // clicks the MenuServer item
    // The BaudTable entry's code goes to the interface's serial port at once.
    virtual void applyBaud(int rotatorInterface, int baudIndex) = 0;
    virtual void turnOnEL_GS232() = 0;                          // ticks CheckBoxGSel
    virtual void turnOnTKB_HOST() = 0;                          // ticks CheckBoxTKBHost
    virtual void moveMainWindow(WindowMeasure measure, int pixels) = 0;
    virtual void setFavouriteCaption(int favourite, const QString &caption) = 0; // 0 to 5

    // Read while the file is written.
    virtual Language language() const = 0;
    virtual bool autoOn() const = 0;
    virtual AzimuthServer server() const = 0;
    virtual QString portN1mmText() const = 0;                   // EditPortN1MM
    virtual QString antN1mmText() const = 0;                    // EditAntN1MM
    // Caption of the item selected in the interface's COM radio group; empty when none is.
    virtual QString selectedPortItem(int rotatorInterface) const = 0;
    virtual bool EL_GS232() const = 0;                          // CheckBoxGSel
    virtual bool TKB_HOST() const = 0;                          // CheckBoxTKBHost
    virtual QString kctDirectoryText() const = 0;               // EditKctMove
    virtual int mainWindowMeasure(WindowMeasure measure) const = 0;
    virtual QPoint angleWindowPosition() const = 0;             // left and top
    virtual bool angleWindowVisible() const = 0;
    virtual QPoint locatorWindowPosition() const = 0;           // left and top
    virtual bool locatorWindowVisible() const = 0;
    virtual QString angleText() const = 0;                      // the angle window's entry
    // Whether the user picked the interface, or the LPT or COM port of an interface, during
    // this run. Until then the file keeps what it held, even when the start-up dropped it
    // because the device was missing.
    virtual bool userChangedInterface() const = 0;
    virtual bool userChangedPort(int rotatorInterface) const = 0;
};

// The encoding the file was read in.
struct FileEncoding {
    std::optional<QStringConverter::Encoding> unicode; // none: Windows-1252
    bool byteOrderMark = false;
};

// What the file held that the save carries over: the interface and port values before the
// start-up could drop them, the encoding, and the lines this version does not know.
struct StoredChoices {
    int ANT = NoInterface;
    // LPT index for the parallel boards, COM value for the serial controllers, by interface.
    std::array<int, InterfaceCount> port = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    FileEncoding encoding;
    // Unknown keys (a newer or older version's, another tool's), their sections and comments,
    // as they stood.
    QStringList otherLines;
};

// A line whose value did not convert or lies outside what the settings dialog allows: its
// setting kept its value and reading went on.
struct SkippedLine {
    qsizetype number; // from 1
    QString text;
};

struct LinesRead {
    QList<SkippedLine> skipped;
    // Blank lines and comments count in neither.
    qsizetype understood = 0;    // the header, known sections, settings taken
    qsizetype notUnderstood = 0; // skipped lines, unknown keys and sections, other text
};

// Applies every line of the file's bytes, in order, to the settings and the target. The bytes
// are UTF-16 or UTF-8 when they begin with a byte-order mark; without one, UTF-16 when a good
// share of them are zero, UTF-8 when they are valid UTF-8 beyond ASCII, else Windows-1252.
// Blanks around the "=" do not count and keys are read in any case.
LinesRead readConfiguration(QByteArrayView bytes, Settings &s, ConfigurationTarget &target,
                            StoredChoices &stored);
// The bytes of the whole file, lines ending in CR LF, at most largestFile: the known keys in
// their order, then the file's other lines. Windows-1252 while every character fits it, else
// the file's own Unicode encoding (UTF-8 with a byte-order mark for a file that had none).
QByteArray configurationText(const Settings &s, const ConfigurationTarget &target,
                             const StoredChoices &stored);

// The text with its decimal separator, comma or point, replaced by the current locale's. A
// text that holds both is returned as it stands.
QString VeriDec(const QString &text);
// General format, 7 significant digits, the current locale's decimal separator when it is a
// comma, else a point.
QString formatFloat(long double value);

struct ConfigurationReading {
    // Why the file was not read, or not read whole, or will not be saved; empty when all is well.
    QString error;
    QList<SkippedLine> skippedLines;
    StoredChoices stored;
};

// Reads ConfigPath, or the file it links to, and applies it. A file that cannot be read leaves
// every setting as it was and, when it is a plain file, is renamed out of the way of the save;
// so is a file of which less than half the lines were understood, after its settings are taken.
// A link to anything but a regular file, or into a missing folder, is neither read nor saved.
ConfigurationReading load_configuration(Settings &s, ConfigurationTarget &target);
// Replaces ConfigPath, or the file it links to, through a BackupPath beside it, so that it is
// always either the old file or the new one. A failure shows MsgCannotCreateConfig in an error
// box and returns false; a path that load_configuration refuses is left alone, and standard
// error says so.
bool save_configuration(const Settings &s, const ConfigurationTarget &target,
                        const StoredChoices &stored);

} // namespace configuration
