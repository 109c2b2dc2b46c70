#include "platform/wait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace platform {

void wait(int ms)
{
    QElapsedTimer clock;
    clock.start();
    // A coarse timer may fire early: loop until the clock itself says the time is up.
    for (qint64 left = ms; left > 0; left = ms - clock.elapsed()) {
        QEventLoop loop;
        QTimer::singleShot(int(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace platform
