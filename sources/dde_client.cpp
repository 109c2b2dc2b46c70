#include "sources/dde_client.h"

#include "platform/ui_services.h"
#include "sources/dde_text.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString Interface = QStringLiteral("dde.Conversation");

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

// A transaction: never waits longer than the transaction time, never starts a service by itself.
QDBusMessage transact(QDBusMessage message)
{
    message.setAutoStartService(false);
    return bus().call(message, QDBus::Block, DdeClientConv::TransactionTimeout);
}

// The single argument of a reply of the expected type, or an invalid variant.
QVariant replyValue(const QDBusMessage &reply, QMetaType::Type type)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1
        || reply.arguments().constFirst().typeId() != type)
        return {};
    return reply.arguments().constFirst();
}

} // namespace

DdeClientConv::DdeClientConv(QObject *parent) : QObject(parent), watcher(new QDBusServiceWatcher(this))
{
    watcher->setConnection(bus());
    watcher->setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &oldOwner, const QString &) { serverGone(oldOwner); });
}

DdeClientConv::~DdeClientConv()
{
    if (isOpen())
        listen(false);
}

bool DdeClientConv::openLink(const QString &service, const QString &topic)
{
    closeLink();
    const quint64 link = ++generation;
    serviceName = service;
    topicName = topic;
    if (bus().isConnected()) {
        // Watched before the first look, so that a server leaving right after it is still seen.
        watcher->setWatchedServices({busName()});
        server = nameOwner();
        if (server.isEmpty()) {
            const QPointer<DdeClientConv> self(this);
            const bool started = startServer();
            if (!self || generation != link)
                return false;
            if (started)
                server = nameOwner();
        }
    }
    if (!isOpen()) {
        forget();
        return false;
    }
    listen(true);
    for (const auto &item : QList(items)) {
        if (item && !advise(item->item()))
            items.removeAll(item);
    }
    const QPointer<DdeClientConv> self(this);
    emit OnOpen();
    for (const auto &item : QList(items)) {
        // The open event's handler, or a change handler below, may have replaced the link.
        if (!self || generation != link)
            break;
        if (!item)
            continue;
        if (const auto data = request(item->item()))
            item->deliver(*data);
    }
    return true;
}

void DdeClientConv::closeLink()
{
    ++generation;
    const bool wasOpen = isOpen();
    if (wasOpen)
        listen(false);
    server.clear();
    serviceName.clear();
    topicName.clear();
    watcher->setWatchedServices({});
    // Last, as its handler may open the next link.
    if (wasOpen)
        emit OnClose();
}

QString DdeClientConv::busName() const
{
    return QStringLiteral("dde.") + serviceName;
}

QString DdeClientConv::objectPath() const
{
    return u'/' + topicName;
}

QString DdeClientConv::nameOwner() const
{
    QDBusMessage question = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    question << busName();
    return replyValue(transact(question), QMetaType::QString).toString();
}

// Runs the command line "service topic" and lets the server take its name within the transaction
// time. The wait keeps D-Bus and timers running but takes no user input.
bool DdeClientConv::startServer()
{
    const QString program = QStandardPaths::findExecutable(serviceName);
    if (program.isEmpty())
        return false;
    QEventLoop loop;
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, &loop,
            [&loop](const QString &, const QString &, const QString &newOwner) {
                if (!newOwner.isEmpty())
                    loop.quit();
            });
    if (platform::ui().start(program, {topicName}) <= 32)
        return false;
    QTimer::singleShot(TransactionTimeout, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return true;
}

bool DdeClientConv::advise(const QString &item) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(server, objectPath(), Interface, QStringLiteral("Advise"));
    message << item;
    return replyValue(transact(message), QMetaType::Bool).toBool();
}

std::optional<QByteArray> DdeClientConv::request(const QString &item) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(server, objectPath(), Interface, QStringLiteral("Request"));
    message << item;
    const QVariant data = replyValue(transact(message), QMetaType::QByteArray);
    if (!data.isValid())
        return std::nullopt;
    return data.toByteArray();
}

void DdeClientConv::listen(bool on)
{
    const auto changed = QStringLiteral("Changed");
    if (on)
        bus().connect(server, objectPath(), Interface, changed, this, SLOT(serverChanged(QString)));
    else
        bus().disconnect(server, objectPath(), Interface, changed, this, SLOT(serverChanged(QString)));
}

void DdeClientConv::serverChanged(const QString &itemName)
{
    const quint64 link = generation;
    const QPointer<DdeClientConv> self(this);
    for (const auto &item : QList(items)) {
        if (!self || generation != link)
            break;
        // DDE item names do not distinguish case.
        if (!item || item->item().compare(itemName, Qt::CaseInsensitive) != 0)
            continue;
        if (const auto data = request(item->item()))
            item->deliver(*data);
    }
}

void DdeClientConv::serverGone(const QString &oldOwner)
{
    if (isOpen() && oldOwner == server)
        closeLink();
}

void DdeClientConv::forget()
{
    items.clear();
    serviceName.clear();
    topicName.clear();
    watcher->setWatchedServices({});
}

bool DdeClientConv::subscribe(DdeClientItem *item)
{
    if (!isOpen() || !advise(item->item())) {
        items.removeAll(item);
        return false;
    }
    if (!items.contains(item))
        items.append(item);
    if (const auto data = request(item->item()))
        item->deliver(*data);
    return true;
}

DdeClientItem::DdeClientItem(DdeClientConv *conversation, QObject *parent)
    : QObject(parent), conversation(conversation)
{
}

DdeClientItem::~DdeClientItem()
{
    if (conversation)
        conversation->unsubscribe(this);
}

void DdeClientItem::setItem(const QString &newName)
{
    name = newName;
    if (conversation && conversation->subscribe(this))
        return;
    itemText.clear();
    emit OnChange();
}

void DdeClientItem::deliver(const QByteArray &data)
{
    itemText = dde::itemText(data);
    emit OnChange();
}
