#pragma once

#include <functional>
#include <QWidget>

class QLineEdit;
class QToolButton;

// Up/down arrows bound to an edit box: the position is the box's number, and setting the
// position writes the box. The range lets the arrows step one past either end.
class UpDown : public QWidget
{
    Q_OBJECT
public:
    UpDown(QLineEdit *buddy, int minimum, int maximum, QWidget *parent = nullptr);

    int position() const;
    // Brings a value outside the range to the nearer end, then writes the box.
    void setPosition(int value);
    int increment() const { return step; }
    void setIncrement(int value) { step = value; }
    // Runs each step of the arrows, so that the owner can tell who changed the box.
    std::function<void(const std::function<void()> &step)> stepping = [](const std::function<void()> &step) { step(); };

signals:
    void mouseDown();
    void mouseUp();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void stepBy(int direction);

    QLineEdit *buddy;
    QToolButton *up;
    QToolButton *down;
    int minimum, maximum;
    int step = 1;
    int lastPosition = 0;
};
