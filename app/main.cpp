#include "app/application.h"
#include "ui/tform1.h"

int main(int argc, char **argv)
{
    TorvanelApplication application(argc, argv);
    TForm1 mainWindow;
    mainWindow.createSmallWindows();
    mainWindow.show();
    return application.exec();
}
