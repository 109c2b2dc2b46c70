#include "app/application.h"
#include "app/paths.h"
#include "app/settings.h"
#include "app/single_instance.h"
#include "platform/close_signals.h"
#include "platform/ui_services.h"
#include "ui/tform1.h"

#include <cstdio>

int main(int argc, char **argv)
{
    TorvanelApplication application(argc, argv);
    computePaths(settings(), QCoreApplication::applicationDirPath());
    // Before anything is read or written: a second copy on the same file leaves it untouched.
    SingleInstance instance(settings().ConfigPath);
    if (!instance.claim()) {
        std::fprintf(stderr, "Torvanel already runs with %s: its window is brought forward.\n",
                     qPrintable(settings().ConfigPath));
        return 0;
    }
    // Listening from the start: a signal that arrives while a start-up message box waits for
    // its OK still closes the program the ordinary way, with its file saved.
    platform::CloseSignals closeSignals;
    TForm1 *window = nullptr;
    bool closeRequested = false;
    QObject::connect(&closeSignals, &platform::CloseSignals::closeRequested, [&] {
        closeRequested = true;
        if (window)
            window->requestClose();
        else
            platform::beginClosing();  // a start-up box gives way; the close follows the creation
    });

    TForm1 mainWindow;
    window = &mainWindow;
    mainWindow.createSmallWindows();
    QObject::connect(&instance, &SingleInstance::raiseRequested, &mainWindow, [&mainWindow] {
        if (mainWindow.isMinimized())
            mainWindow.showNormal();
        mainWindow.raise();
        mainWindow.activateWindow();
    });
    // Once closed the program ends, even while a message box or another window is open.
    QObject::connect(&mainWindow, &TForm1::closed, &application, [] { QCoreApplication::exit(0); },
                     Qt::QueuedConnection);
    if (closeRequested) {
        mainWindow.close();
        return 0;
    }
    mainWindow.show();
    return application.exec();
}
