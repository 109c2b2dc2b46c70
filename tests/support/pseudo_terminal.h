#pragma once

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QString>

// The far end of a serial line: the program opens the slave, the test reads the master.
struct PseudoTerminal {
    PseudoTerminal()
    {
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            path = QString::fromLocal8Bit(name);
            termios raw{};
            ::tcgetattr(master, &raw);
            ::cfmakeraw(&raw);
            ::tcsetattr(master, TCSANOW, &raw);
        }
    }
    ~PseudoTerminal()
    {
        ::close(master);
        ::close(slave);
    }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // What arrives within the time (two seconds unless told), once at least count bytes are there.
    QByteArray read(qsizetype count, int timeoutMs = 2000) const { return receive(count, timeoutMs); }
    // Everything that has arrived so far, waiting at most quietMs for more.
    QByteArray drain(int quietMs = 100) const { return receive(-1, quietMs); }
    termios lineSettings() const
    {
        termios settings{};
        ::tcgetattr(slave, &settings);
        return settings;
    }
    // Makes the slave reachable as COMn through comports/ in parent.
    void linkAs(const QString &parent, int comNumber) const
    {
        QDir(parent).mkpath(QStringLiteral("comports"));
        const QString link = parent + QStringLiteral("/comports/COM") + QString::number(comNumber);
        QFile::remove(link);
        QFile::link(path, link);
    }

    int master = -1;
    int slave = -1;
    QString path;

private:
    // The program's commands go out as timed steps on its event loop: it runs while we wait.
    QByteArray receive(qsizetype count, int timeoutMs) const
    {
        QByteArray data;
        QElapsedTimer quiet;
        quiet.start();
        while (count < 0 || data.size() < count) {
            pollfd ready{master, POLLIN, 0};
            if (::poll(&ready, 1, 2) > 0) {
                char chunk[256];
                const ssize_t n = ::read(master, chunk, sizeof chunk);
                if (n <= 0)
                    break;
                data.append(chunk, n);
                quiet.restart();
                continue;
            }
            if (quiet.elapsed() >= timeoutMs)
                break;
            QCoreApplication::processEvents();
        }
        return data;
    }
};
