#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

// One running copy per configuration file: two copies on the same file would overwrite each
// other's settings at exit. The first holds a lock file beside it and listens on a local socket
// named after the file's path; a second start asks it to come forward and leaves.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &configurationPath, QObject *parent = nullptr);

    // True when this copy may use the file (also when no lock can be made there at all); false
    // when another copy runs with it, which has been asked to show its window.
    bool claim();

signals:
    // Another start with the same file wants this copy's window in front.
    void raiseRequested();

private:
    QLockFile lock;
    QLocalServer server;
    QString name;
};
