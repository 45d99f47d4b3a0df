// Dialog units scale with the form font and round like dialog templates.
#include "ui/DialogUnits.h"

#include <QWidget>
#include <gtest/gtest.h>

TEST(DialogUnits, ScaleWithTheFontAndRoundToNearest) {
    const DialogUnits units;
    ASSERT_GT(units.BaseX(), 0);
    ASSERT_GT(units.BaseY(), 0);
    EXPECT_EQ(units.ToPixelsX(4), units.BaseX());
    EXPECT_EQ(units.ToPixelsY(8), units.BaseY());
    EXPECT_EQ(units.ToPixelsX(0), 0);

    QFont big = DialogUnits::FormFont();
    big.setPointSize(16);
    const DialogUnits larger(big);
    EXPECT_GT(larger.BaseX(), units.BaseX());
    EXPECT_GT(larger.BaseY(), units.BaseY());

    QWidget parent;
    QWidget child(&parent);
    units.Place(&child, 8, 16, 40, 14);
    EXPECT_EQ(child.geometry(), units.ToPixels(8, 16, 40, 14));
    EXPECT_EQ(child.x(), 2 * units.BaseX());
}
