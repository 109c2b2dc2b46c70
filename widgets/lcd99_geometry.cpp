#include "widgets/lcd99_geometry.h"

#include <cmath>

namespace lcd {

namespace {

// Quarters and halves of small integers are exact in a double, so rint gives halves to even.
int roundedFraction(int value, int divisor)
{
    return int(std::lrint(double(value) / divisor));
}

// A top or bottom segment; the thickness is negative for the bottom one, which grows upwards.
QPolygon horizontalEdge(int x, int y, int length, int size, int thickness)
{
    const int bevel = roundedFraction(thickness, 4);
    return QPolygon({{x, y + bevel},
                     {x + size / 2, y},
                     {x + length - size / 2, y},
                     {x + length, y + bevel},
                     {x + length - size, y + thickness},
                     {x + size, y + thickness}});
}

QPolygon middle(int x, int y, int length, int size)
{
    const int bevel = roundedFraction(size, 2);
    return QPolygon({{x, y + bevel},
                     {x + size, y},
                     {x + length - size, y},
                     {x + length, y + bevel},
                     {x + length - size, y + size},
                     {x + size, y + size}});
}

// A vertical segment; the thickness is negative on the right side, which grows leftwards.
QPolygon vertical(int x, int y, int length, int size, int thickness)
{
    const int bevel = roundedFraction(thickness, 4);
    return QPolygon({{x + bevel, y},
                     {x, y + size / 2},
                     {x, y + length - size / 2},
                     {x + bevel, y + length},
                     {x + thickness, y + length - size},
                     {x + thickness, y + size}});
}

} // namespace

CellShapes cellShapes(const Metrics &m, int cell)
{
    const int spacing = m.digitSpacing + 1;
    const int cellWidth = (m.width - 1 - m.digitNum * spacing) / m.digitNum;
    const int cellHeight = m.height - 1;
    const int half = cellHeight / 2;
    const int left = (cell - 1) * cellWidth + cell * spacing;
    const int horizontalLength = cellWidth - 2 * m.gapX;
    const int verticalLength = half - 2 * m.gapY;
    const int size = m.segmentSize;
    const int upperY = m.gapY;
    const int lowerY = half + m.gapY;
    const int right = left + cellWidth;

    CellShapes shapes;
    shapes.segments = {
        horizontalEdge(left + m.gapX, 0, horizontalLength, size, size),
        vertical(left, upperY, verticalLength, size, size),
        vertical(right, upperY, verticalLength, size, -size),
        middle(left + m.gapX, half - size / 2, horizontalLength, size),
        vertical(left, lowerY, verticalLength, size, size),
        vertical(right, lowerY, verticalLength, size, -size),
        horizontalEdge(left + m.gapX, cellHeight, horizontalLength, size, -size),
    };

    const int dotWidth = horizontalLength / 3;
    const int dotHeight = verticalLength / 3;
    const int dotLeft = left + (cellWidth - dotWidth) / 2;
    shapes.colon = {QRect(dotLeft, half - 2 * dotHeight, dotWidth, dotHeight),
                    QRect(dotLeft, half + dotHeight, dotWidth, dotHeight)};

    const int pointSize = spacing - 3;
    shapes.point = QRect((cell - 1) * (cellWidth + spacing) + 2, cellHeight - pointSize,
                         pointSize, pointSize);
    return shapes;
}

} // namespace lcd
