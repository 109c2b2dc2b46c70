#pragma once

#include <QPixmap>

// The main window's pictures, drawn by tools/draw_pictures and kept as resources.
namespace pictures {

// The compass dial, 68 x 68, without a needle.
QPixmap dial();
// The activity lamp, 30 x 30, transparent around it.
QPixmap lamp(bool on);

} // namespace pictures
