#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

SingleInstance::SingleInstance(const QString &configurationPath, QObject *parent)
    : QObject(parent), lock(configurationPath + QStringLiteral(".lock"))
{
    // A copy running for days keeps its lock; the lock of a copy that died is taken back.
    lock.setStaleLockTime(0);
    const QString directory = QFileInfo(configurationPath).absolutePath();
    QDir().mkpath(directory);
    // The same file reached through a link or another spelling of its path is the same file.
    const QString canonical = QFileInfo(directory).canonicalFilePath() + u'/' + QFileInfo(configurationPath).fileName();
    name = QStringLiteral("torvanel-")
           + QString::fromLatin1(QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
}

bool SingleInstance::claim()
{
    if (!lock.tryLock(0)) {
        // A folder where no lock can be made (read-only media) cannot be shared safely either;
        // the program runs as it always did there.
        if (lock.error() != QLockFile::LockFailedError)
            return true;
        QLocalSocket running;
        running.connectToServer(name);
        if (running.waitForConnected(2000))
            running.disconnectFromServer();
        return false;
    }
    // A socket left behind by a copy that crashed would refuse the name.
    QLocalServer::removeServer(name);
    server.setSocketOptions(QLocalServer::UserAccessOption);
    server.listen(name);
    connect(&server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *caller = server.nextPendingConnection())
            caller->deleteLater();
        emit raiseRequested();
    });
    return true;
}
