#include "ui/FontCell.h"

#include <QFontMetrics>
#include <algorithm>

QFont FitFontCell(QFont font, QPaintDevice* device, int cellHeight, int averageWidth) {
    // First the cell height, measured once at a trial size and scaled; then the width of an
    // average character through the font's stretch.
    font.setPixelSize(std::max(1, cellHeight));
    const int height = QFontMetrics(font, device).height();
    if (height > 0) {
        font.setPixelSize(std::max(1, cellHeight * cellHeight / height));
    }
    if (averageWidth > 0) {
        const int width = QFontMetrics(font, device).averageCharWidth();
        if (width > 0) {
            font.setStretch(std::clamp(100 * averageWidth / width, 1, 4000));
        }
    }
    return font;
}
