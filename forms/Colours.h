#pragma once

#include <QColor>

// Occupied space is blue and free space fuchsia everywhere: chart points, key squares, figures.
inline const QColor clBlue(0, 0, 255);
inline const QColor clFuchsia(255, 0, 255);
