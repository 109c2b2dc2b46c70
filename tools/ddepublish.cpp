// ddepublish: a DDE server over the D-Bus session bus, for trying and testing the DDE client.
// It owns "dde.SERVICE", serves "/TOPIC" with the interface "dde.Conversation" and publishes one
// item whose data come from the command line and then from standard input, one line per value.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <unistd.h>

namespace {

const char Usage[] =
    "Usage: ddepublish SERVICE TOPIC [ITEM [TEXT...]]\n"
    "       SERVICE TOPIC [ITEM [TEXT...]]   (started under the service's own name)\n"
    "\n"
    "Serves the DDE item ITEM (default Azimuth) of SERVICE and TOPIC on the D-Bus session bus:\n"
    "bus name dde.SERVICE, object /TOPIC, interface dde.Conversation with the methods\n"
    "Request(item: s) -> ay and Advise(item: s) -> b and the signal Changed(item: s).\n"
    "The item's data are the TEXT words joined by blanks, then each line read from standard\n"
    "input (without its line feed); every new line emits Changed. The text is converted from\n"
    "the terminal's encoding to Latin-1, the 8-bit text of DDE data ('?' where it has none).\n"
    "Runs until it is terminated or its bus goes away.\n"
    "\n"
    "Example: ddepublish Velmundo Data Azimuth 123\n";

class Conversation : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "dde.Conversation")

public:
    Conversation(const QString &item, const QByteArray &data) : item(item), data(data) {}

    void publish(const QByteArray &value)
    {
        data = value;
        emit Changed(item);
    }

public slots:
    QByteArray Request(const QString &name)
    {
        if (!serves(name))
            sendErrorReply(QStringLiteral("dde.Error.UnknownItem"), QStringLiteral("No item ") + name);
        return data;
    }

    // Notify-only: every change is announced by Changed to whoever listens.
    bool Advise(const QString &name) { return serves(name); }

signals:
    void Changed(const QString &item);

private:
    bool serves(const QString &name) const { return name.compare(item, Qt::CaseInsensitive) == 0; }

    const QString item;
    QByteArray data;
};

QByteArray latin1(const QByteArray &local)
{
    return QString::fromLocal8Bit(local).toLatin1();
}

// Publishes every line of standard input.
class LineReader : public QObject
{
public:
    explicit LineReader(Conversation &conversation) : conversation(conversation), notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&notifier, &QSocketNotifier::activated, this, &LineReader::read);
    }

private:
    void read()
    {
        char chunk[4096];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            // End of input: the last value stays published.
            notifier.setEnabled(false);
            if (!pending.isEmpty())
                conversation.publish(latin1(std::exchange(pending, {})));
            return;
        }
        pending.append(chunk, got);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            conversation.publish(latin1(pending.first(end)));
            pending.remove(0, end + 1);
        }
    }

    Conversation &conversation;
    QSocketNotifier notifier;
    QByteArray pending;
};

int fail(const QString &text, int code)
{
    QTextStream(stderr) << "ddepublish: " << text << '\n';
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList words = application.arguments().mid(1);
    if (words.contains(QLatin1String("--help")) || words.contains(QLatin1String("-h"))) {
        QTextStream(stdout) << Usage;
        return 0;
    }
    const QString self = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    if (self != QLatin1String("ddepublish"))
        words.prepend(self);
    if (words.size() < 2) {
        QTextStream(stderr) << Usage;
        return 2;
    }
    const QString service = words.takeFirst();
    const QString topic = words.takeFirst();
    const QString item = words.isEmpty() ? QStringLiteral("Azimuth") : words.takeFirst();

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return fail(QStringLiteral("no session bus"), 1);
    Conversation conversation(item, words.join(u' ').toLatin1());
    // The object is served before the name is taken: a client calls as soon as the name appears.
    if (!bus.registerObject(u'/' + topic, &conversation, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals))
        return fail(QStringLiteral("cannot serve the object /") + topic, 1);
    const auto name = QStringLiteral("dde.") + service;
    const auto reply = bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered)
        return fail(QStringLiteral("cannot own the name ") + name, 1);
    LineReader reader(conversation);
    // A server outliving its bus (a private test bus, a closed session) would serve no one.
    QTimer busWatch;
    QObject::connect(&busWatch, &QTimer::timeout, &application, [&] {
        if (!QDBusConnection::sessionBus().isConnected())
            application.quit();
    });
    busWatch.start(1000);
    return application.exec();
}

#include "ddepublish.moc"
