#pragma once

#include <QString>

namespace lcd {

// Segment numbers: 1 top, 2 upper left, 3 upper right, 4 middle, 5 lower left,
// 6 lower right, 7 bottom, 8 colon.
constexpr int segmentCount = 8;

// Whether `segment` is lit for the cell character `c`; a blank and any character the
// display cannot show light nothing.
bool isLit(QChar c, int segment);

// The text to store for a new value: lower-case letters raised, one trailing point dropped,
// and the empty text when any character cannot be shown.
QString normalisedValue(const QString &value);

// A value laid out on the cells: one character per cell and, at the same index, "." where
// that cell shows the decimal point in the gap at its left, else a blank.
struct Cells {
    QString characters;
    QString points;
};

// Right-aligned on digitNum cells; of a longer value only the first digitNum cells.
Cells splitCells(const QString &value, int digitNum);

} // namespace lcd
