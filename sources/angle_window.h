#pragma once

#include <functional>
#include <QWidget>

class QLineEdit;

// What the angle window needs of the main window.
struct AzimuthInput {
    std::function<void(int)> setPosition; // the position of the main window's up/down
    std::function<bool()> autoOn;
    std::function<void()> track;          // the MAN command
    std::function<QString()> shown;       // the azimuth box's text
};

// The small floating window where the operator types an azimuth and presses Enter. It mirrors
// every azimuth the main window shows, selected and ready to be typed over.
class TFormAngle : public QWidget
{
    Q_OBJECT
public:
    TFormAngle(QWidget *parent, AzimuthInput mainWindow);

    // True when the key was taken from the entry.
    bool EditAngleKeyDown(int key);
    void Traiter();
    // The main window's dial shows an azimuth.
    void echo(int azimuth);
    // The main window hands the keyboard back to the entry, wholly selected.
    void takeFocus();

    QLineEdit *EditAngle;
    // Set while Traiter writes its azimuth into the main window, so that the echo of its own
    // change does not overwrite what the operator typed.
    bool SkipAngleEcho = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void refuse();

    AzimuthInput mainWindow;
};
