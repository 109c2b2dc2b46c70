#pragma once

#include <QApplication>

// The application object; what a handler raises ends in the general error report here.
class TorvanelApplication : public QApplication
{
public:
    TorvanelApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
