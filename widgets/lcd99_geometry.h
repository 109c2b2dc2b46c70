#pragma once

#include <QPolygon>
#include <QRect>

#include <array>

namespace lcd {

// What the outlines depend on: the client size and the control's size properties.
struct Metrics {
    int width = 0;
    int height = 0;
    int digitNum = 0;
    int digitSpacing = 0;
    int segmentSize = 0;
    int gapX = 0;
    int gapY = 0;
};

// The drawable elements of one character cell. Rectangles cover exactly the pixels they
// name (their right and bottom edges are exclusive in the drawing's terms).
struct CellShapes {
    std::array<QPolygon, 7> segments; // segments 1 to 7: top, upper left, upper right,
                                      // middle, lower left, lower right, bottom
    std::array<QRect, 2> colon;       // segment 8: bounding boxes of the two dots
    QRect point;                      // decimal point, in the gap at the cell's left
};

// Outlines of cell `cell`, counted from 1. Needs digitNum of at least 1.
CellShapes cellShapes(const Metrics &metrics, int cell);

} // namespace lcd
