#pragma once

#include <optional>
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class DdeClientItem;
class QDBusServiceWatcher;

// A DDE client conversation carried over the D-Bus session bus: the server of service S and
// topic T owns the bus name "dde.S" and serves the object "/T" with the interface
// "dde.Conversation". Every call waits at most the 1000 ms transaction time.
class DdeClientConv : public QObject
{
    Q_OBJECT

public:
    static constexpr int TransactionTimeout = 1000;

    explicit DdeClientConv(QObject *parent = nullptr);
    ~DdeClientConv() override;

    // Closes any link first, then connects; a server that is not running is started once with the
    // command line "service topic". Returns whether a conversation resulted; if not, the items
    // are dropped and service and topic cleared.
    bool openLink(const QString &service, const QString &topic);
    // Raises the close event when a conversation was open; the items stay subscribed for the next
    // link.
    void closeLink();

    bool isOpen() const { return !server.isEmpty(); }
    QString service() const { return serviceName; }
    QString topic() const { return topicName; }

signals:
    void OnOpen();
    void OnClose();

private slots:
    void serverChanged(const QString &item);

private:
    friend class DdeClientItem;

    QString busName() const;
    QString objectPath() const;
    QString nameOwner() const;
    bool startServer();
    bool advise(const QString &item) const;
    std::optional<QByteArray> request(const QString &item) const;
    void listen(bool on);
    void serverGone(const QString &oldOwner);
    void forget();
    // Subscribes the item on the open conversation and delivers its current value; false when
    // there is no conversation or the server refused the advise loop.
    bool subscribe(DdeClientItem *item);
    void unsubscribe(DdeClientItem *item) { items.removeAll(item); }

    QString serviceName;
    QString topicName;
    QString server;  // unique bus name of the server while the conversation is open
    QList<QPointer<DdeClientItem>> items;
    QDBusServiceWatcher *watcher;
    // Changes at every open and close, so that a link replaced during a nested wait is left alone.
    quint64 generation = 0;
};

// One item of a conversation, subscribed with a notify-only advise loop: every change the server
// reports is requested and becomes the item's text.
class DdeClientItem : public QObject
{
    Q_OBJECT

public:
    explicit DdeClientItem(DdeClientConv *conversation, QObject *parent = nullptr);
    ~DdeClientItem() override;

    // Subscribes the item on the open conversation and requests its value at once. Without a
    // conversation the item is dropped again and the change event fires once with empty text.
    void setItem(const QString &name);
    QString item() const { return name; }
    // The data last received, always one line (see dde::itemText).
    QString text() const { return itemText; }

signals:
    void OnChange();

private:
    friend class DdeClientConv;

    void deliver(const QByteArray &data);

    QPointer<DdeClientConv> conversation;
    QString name;
    QString itemText;
};
