#include "platform/window_messages.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace platform {

namespace {

// Finding a window must not hang the user interface on a bus that does not answer.
constexpr int LookUpTimeout = 1000;

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

} // namespace

TopLevelWindow::TopLevelWindow(const QString &className, const QString &title)
    : name(QLatin1String("win.") + className + QLatin1Char('.') + title)
{
}

bool TopLevelWindow::exists() const
{
    if (!bus().isConnected())
        return false;
    QDBusMessage question = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    question << name;
    const QDBusMessage reply = bus().call(question, QDBus::Block, LookUpTimeout);
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1
        && reply.arguments().constFirst().toBool();
}

bool TopLevelWindow::post(const QString &messageName, quint32 wParam, qint32 lParam) const
{
    if (!bus().isConnected())
        return false;
    QDBusMessage message = QDBusMessage::createMethodCall(name, QStringLiteral("/"), QStringLiteral("win.Window"),
                                                          QStringLiteral("PostMessage"));
    message.setAutoStartService(false);
    message << messageName << wParam << lParam;
    return bus().send(message);
}

} // namespace platform
