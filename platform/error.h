#pragma once

#include <exception>
#include <stdexcept>
#include <QString>

// An error meant for the application's general error report: its text is shown as it stands.
class TorvanelError : public std::runtime_error
{
public:
    explicit TorvanelError(const QString &text) : std::runtime_error(text.toUtf8().toStdString()) {}
    QString text() const { return QString::fromUtf8(what()); }
};

namespace platform {

// The application's general error report: an error box, and the program goes on.
void reportError(const QString &text);

void writeToStandardError(const QString &text);

// Runs a handler and hands the text of what it raises to the report.
template<typename Handler, typename Report>
void reporting(Handler &&handler, Report &&report)
{
    try {
        handler();
    } catch (const std::exception &error) {
        report(QString::fromUtf8(error.what()));
    }
}

// Runs a handler so that nothing it raises crosses the event loop.
template<typename Handler>
void guarded(Handler &&handler)
{
    reporting(handler, reportError);
}

// Runs a step of the program's closing: what it raises goes to standard error, since nobody
// may be there to press a box's OK, and the next step runs.
template<typename Handler>
void guardedWhileClosing(Handler &&handler)
{
    reporting(handler, writeToStandardError);
}

} // namespace platform
