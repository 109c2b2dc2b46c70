#include "app/application.h"

#include "platform/error.h"

TorvanelApplication::TorvanelApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Torvanel"));
    // Lets the desktop match the windows to the menu entry and its icon.
    setDesktopFileName(QStringLiteral("torvanel"));
}

bool TorvanelApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    platform::guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
