// Dialog units scale with the form font and round to the nearest pixel.
#include "ui/DialogUnits.h"

#include <QWidget>
#include <gtest/gtest.h>

TEST(DialogUnits, ScaleWithTheFontAndRoundToNearest) {
    const DialogUnits units;
    QFont big = DialogUnits::FormFont();
    big.setPointSize(16);
    EXPECT_GT(DialogUnits(big).BaseX(), units.BaseX());
    EXPECT_GT(DialogUnits(big).BaseY(), units.BaseY());
    for (int u = 0; u <= 16; ++u) {
        EXPECT_LE(std::abs(4 * units.ToPixelsX(u) - u * units.BaseX()), 2) << u;
        EXPECT_LE(std::abs(8 * units.ToPixelsY(u) - u * units.BaseY()), 4) << u;
    }
    QWidget parent;
    auto* child = new QWidget(&parent);
    units.Place(child, 8, 16, 40, 14);
    EXPECT_EQ(child->geometry(),
              QRect(2 * units.BaseX(), 2 * units.BaseY(), 10 * units.BaseX(), units.ToPixelsY(14)));
}
