// Anchoring of a form's controls to the sides of their view. The form is designed at one size;
// when the view grows, each control listed in an anchoring table moves with the right side or
// the bottom, keeps its centre at the same relative place, stretches, or scales with the view,
// as its row says. The arithmetic is integer arithmetic truncating toward zero throughout, so a
// view restored to its design size puts every control back exactly where it was designed.
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

// One row of an anchoring table.
struct ControlAnchor {
    int nControlId;    // the control's ID (its objectName is the ID as a number)
    bool anchorLeft;   // the left edge is tied to the view's left side
    bool anchorRight;  // the right edge is tied to the view's right side
    bool anchorTop;    // the top edge is tied to the view's top
    bool anchorBottom; // the bottom edge is tied to the view's bottom
    bool sizeX;        // the width may change
    bool sizeY;        // the height may change
    bool scaleX;       // with sizeX and both horizontal anchors: both edges scale with the width
    bool scaleY;       // the same vertically
    int nInsertAfter;  // the control this one is stacked under; 0 = the bottom of the stack
};

// The anchoring table of the profile editor's form, in the order its controls are arranged.
inline constexpr int kProfileFormAnchorCount = 36;
extern const ControlAnchor kProfileFormAnchors[kProfileFormAnchorCount];

// A rectangle by its edges; right and bottom lie just outside it (width = right - left).
struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static LayoutRect FromQRect(const QRect& rect);
    QRect ToQRect() const { return {left, top, right - left, bottom - top}; }
    bool operator==(const LayoutRect&) const = default;
};

// Where the control of `row` goes: `present` is its rectangle now, `original` its rectangle
// when the view had its design rectangle `design`, `now` the view's present rectangle. An axis
// whose design extent is empty keeps the present position and size.
LayoutRect AnchoredRect(const ControlAnchor& row, const LayoutRect& present,
                        const LayoutRect& original, const LayoutRect& design,
                        const LayoutRect& now);

// Arranges the controls of a view by an anchoring table. Made when the view has its design
// size; Arrange() is called after every size change of the view.
class CControlLayout {
public:
    // Records the view's rectangle and the rectangle of every control of the table, found by
    // its ID among the view's descendants. The table is not copied and must outlive the object.
    // A control the view lacks is left out.
    CControlLayout(const ControlAnchor* table, int rows, QWidget& view);

    // Places every control for the view's present size and stacks it as its row says; all
    // rectangles are computed before the first control moves. A view recorded with an empty
    // width or height arranges nothing.
    void Arrange();

private:
    struct Row {
        const ControlAnchor* anchor;
        QPointer<QWidget> control; // null when missing or deleted since
        LayoutRect original;       // in the view's coordinates
    };

    QWidget* FindControl(int id) const;
    QRect InViewCoordinates(const QWidget& control) const;

    QWidget& m_view;
    LayoutRect m_design;
    std::vector<Row> m_rows;
};
