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

// Runs a handler so that nothing it raises crosses the event loop.
template<typename Handler>
void guarded(Handler &&handler)
{
    try {
        handler();
    } catch (const std::exception &error) {
        reportError(QString::fromUtf8(error.what()));
    }
}

} // namespace platform
