#pragma once

#include <QPixmap>

namespace pictures {

// The activity lamp, 30 x 30: grey rim, dark red off, bright red on; transparent outside.
QPixmap lamp(bool on);

} // namespace pictures
