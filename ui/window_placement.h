#pragma once

#include <QSize>

class QWidget;

// Brings a window whose stored place or size is off every screen, or too small to use, back
// onto the screen it is on (else the primary one), at least at the usable size.
void keepOnScreen(QWidget *window, QSize usable);

// A stored position or size bounded before it reaches Qt, whose geometry sums (right = left +
// width - 1) would overflow near the ends of an int.
int boundedWindowMeasure(int pixels);
