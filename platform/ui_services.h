#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The user-facing services of the desktop (beeps, message boxes, opening documents, starting
// programs) behind one interface, so that tests can record them instead of sounding and blocking.
namespace platform {

enum class Beep { Default, Information, Exclamation };
enum class MessageKind { Information, Warning, Error };

// Result of starting a program, as the Windows shell reports it: above 32 on success.
namespace ShellResult {
constexpr int FileNotFound = 2;
constexpr int PathNotFound = 3;
constexpr int AccessDenied = 5;
constexpr int NoAssociation = 31;
constexpr int Success = 42;
}

class UiServices
{
public:
    virtual ~UiServices() = default;
    virtual void beep(Beep kind) = 0;
    // A modal box with one OK button.
    virtual void message(MessageKind kind, const QString &text) = 0;
    // The same box, shown without waiting for its OK: what a command's outcome has to say, once
    // it has been recorded and answered. The same text is not shown twice at a time.
    virtual void notify(MessageKind kind, const QString &text) = 0;
    // Shell "open" of a local file or a web address.
    virtual bool open(const QString &fileOrUrl) = 0;
    // Starts a program detached, never through a shell; returns a shell result code.
    virtual int start(const QString &program, const QStringList &arguments) = 0;
};

// The process-wide services; the desktop ones unless a test installed others.
UiServices &ui();
void setUi(UiServices *services);

// The program closes: the boxes that wait for their OK are dismissed, and from now on the
// desktop's messages and the general error report go to standard error instead of a box.
void beginClosing();

// Starts a program detached without a shell and reports the shell's result code.
int startDetached(const QString &program, const QStringList &arguments);

class DesktopUiServices : public UiServices
{
public:
    void beep(Beep kind) override;
    void message(MessageKind kind, const QString &text) override;
    void notify(MessageKind kind, const QString &text) override;
    bool open(const QString &fileOrUrl) override;
    int start(const QString &program, const QStringList &arguments) override;
};

// Records every request; starting programs really starts them unless told otherwise.
class RecordingUiServices : public UiServices
{
public:
    struct Message {
        MessageKind kind;
        QString text;
    };
    struct Started {
        QString program;
        QStringList arguments;
    };

    QList<Beep> beeps;
    QList<Message> messages;
    QStringList opened;
    QList<Started> started;
    bool reallyStart = true;
    // Whether a program on the desktop opens what is asked.
    bool opens = true;

    void beep(Beep kind) override { beeps.append(kind); }
    void message(MessageKind kind, const QString &text) override { messages.append({kind, text}); }
    void notify(MessageKind kind, const QString &text) override { messages.append({kind, text}); }
    bool open(const QString &fileOrUrl) override
    {
        if (opens)
            opened.append(fileOrUrl);
        return opens;
    }
    int start(const QString &program, const QStringList &arguments) override
    {
        started.append({program, arguments});
        return reallyStart ? startDetached(program, arguments) : ShellResult::Success;
    }
    void clear()
    {
        beeps.clear();
        messages.clear();
        opened.clear();
        started.clear();
    }
};

// Installs a recording service for the lifetime of a test scope.
class ScopedRecordingUi
{
public:
    ScopedRecordingUi() { setUi(&recorder); }
    ~ScopedRecordingUi() { setUi(nullptr); }
    RecordingUiServices *operator->() { return &recorder; }
    RecordingUiServices &operator*() { return recorder; }

private:
    RecordingUiServices recorder;
};

} // namespace platform
