// Fonts described by a cell height and an average character width, as printed reports ask for
// them, sized in a paint device's own pixels.
#pragma once

#include <QFont>

class QPaintDevice;

// `font` with the pixel size whose line height (ascent + descent) on `device` comes closest to
// `cellHeight`, then stretched so that its average character width comes closest to
// `averageWidth` (0 keeps the font's own width). Both measures are in device pixels.
QFont FitFontCell(QFont font, QPaintDevice* device, int cellHeight, int averageWidth);
