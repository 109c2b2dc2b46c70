#include "ui/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void keepOnScreen(QWidget *window, QSize usable)
{
    QScreen *screen = QGuiApplication::screenAt(window->geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QSize size = window->size();
    if (size.width() < usable.width() || size.height() < usable.height())
        size = size.expandedTo(usable);
    size = size.boundedTo(area.size());
    window->resize(size);
    const int left = qBound(area.left(), window->x(), area.right() + 1 - size.width());
    const int top = qBound(area.top(), window->y(), area.bottom() + 1 - size.height());
    window->move(left, top);
}

int boundedWindowMeasure(int pixels)
{
    return qBound(-QWIDGETSIZE_MAX, pixels, QWIDGETSIZE_MAX);
}
