// Forms are laid out in dialog units: a horizontal unit is a quarter of the form font's
// average character width, a vertical unit an eighth of its height. Placing controls this way
// keeps every form's proportions whatever font and screen the program runs on.
#pragma once

#include <QFont>
#include <QRect>

class QWidget;

class DialogUnits {
public:
    // The units of `font`. Forms use FormFont(): a sans-serif font at 8 points.
    explicit DialogUnits(const QFont& font = FormFont());

    static QFont FormFont();

    // A line of label text is 8 units high. Beside a field a label stands 2 units lower than
    // the field's top, so that the two texts line up.
    static constexpr int kLabelHeight = 8;
    static constexpr int kLabelDrop = 2;

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    // A rectangle x, y, width, height in dialog units, in pixels.
    QRect ToPixels(int x, int y, int width, int height) const;
    // Places `widget` at a rectangle given in dialog units.
    void Place(QWidget* widget, int x, int y, int width, int height) const;

private:
    int m_baseX;
    int m_baseY;
};
