#include "app/application.h"
#include "platform/close_signals.h"
#include "ui/tform1.h"

int main(int argc, char **argv)
{
    TorvanelApplication application(argc, argv);
    TForm1 mainWindow;
    mainWindow.createSmallWindows();
    platform::CloseSignals closeSignals;
    QObject::connect(&closeSignals, &platform::CloseSignals::closeRequested, &mainWindow, &QWidget::close);
    mainWindow.show();
    return application.exec();
}
