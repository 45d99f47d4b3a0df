// Anchoring of the profile form's controls: each rule on hand-computed rectangles, and a view
// with nested, missing and deleted controls. The whole form is grown in TessaronViewTest.
#include "profile_ui/ControlLayout.h"

#include "profile_ui/ProfileFormIds.h"

#include <QGroupBox>
#include <QLineEdit>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

void PrintTo(const LayoutRect& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

// A row from letters: anchors L R T B, sizes w h, scales W H.
ControlAnchor Row(const std::string& f) {
    const auto has = [&](char c) { return f.find(c) != std::string::npos; };
    return {1, has('L'), has('R'), has('T'), has('B'), has('w'), has('h'), has('W'), has('H'), 0};
}

TEST(ControlLayout, RulesUseTruncatingIntegerArithmetic) {
    const LayoutRect design{0, 0, 400, 300}, grown{0, 0, 500, 350}, shrunk{0, 0, 350, 280};
    const LayoutRect d256{0, 0, 256, 256}, wide{0, 0, 300, 256}, huge{0, 0, 16000000, 256};
    // flags, present, original, design, now, expected
    const std::tuple<const char*, LayoutRect, LayoutRect, LayoutRect, LayoutRect, LayoutRect>
        cases[] = {
            // Moves with the right side and the bottom, also in a smaller view; size as present.
            {"RB", {1, 2, 41, 16}, {300, 100, 340, 114}, design, grown, {400, 150, 440, 164}},
            {"RB", {1, 2, 41, 16}, {300, 100, 340, 114}, design, shrunk, {250, 80, 290, 94}},
            // Stretches: the near edge stays where it is now, the far one follows the side.
            {"LRTBwh", {110, 6, 300, 166}, {100, 6, 300, 166}, design, grown, {110, 6, 400, 216}},
            // Scales: k = 320; 158 * 320 / 256 = 197.5 and 198 * 320 / 256 = 247.5, truncated.
            {"LRBwW", {0, 0, 1, 14}, {158, 199, 198, 213}, design, grown, {197, 249, 247, 263}},
            // Negative offsets truncate toward zero: -5 * 300 / 256 = -5, not -6.
            {"LRwW", {-5, 10, 50, 20}, {-5, 10, 50, 20}, d256, wide, {-5, 10, 58, 20}},
            // The centre keeps its relative place: 265 * 500 / 400 = 331, minus 83 / 2.
            {"LRB", {0, 0, 83, 10}, {224, 202, 307, 212}, design, grown, {290, 252, 373, 262}},
            // ... with a negative centre: -3 / 2 = -1, -500 / 400 = -1, minus 17 / 2 = 8.
            {"LR", {-10, 0, 7, 5}, {-10, 0, 7, 5}, design, grown, {-9, 0, 8, 5}},
            // Unanchored axes and a size without both anchors keep the present rectangle.
            {"B", {6, 165, 95, 179}, {0, 165, 89, 179}, design, grown, {6, 215, 95, 229}},
            {"Rw", {7, 8, 9, 10}, {300, 100, 340, 114}, design, grown, {7, 8, 9, 10}},
            {"", {7, 8, 9, 10}, {300, 100, 340, 114}, design, grown, {7, 8, 9, 10}},
            // An empty design size arranges nothing.
            {"LRTBwhWH", {7, 8, 9, 10}, {1, 2, 3, 4}, {0, 0, 0, 0}, grown, {7, 8, 9, 10}},
            // A huge view: 16e6 * 256 passes int, yet the result fits.
            {"LRwW", {0, 0, 1, 1}, {100, 0, 200, 1}, d256, huge, {6250000, 0, 12500000, 1}},
        };
    int row = 0;
    for (const auto& [flags, present, original, designed, now, expected] : cases) {
        EXPECT_EQ(AnchoredRect(Row(flags), present, original, designed, now), expected) << row++;
    }
}

QWidget* Named(QWidget* control, int id, const QRect& rect) {
    control->setObjectName(QString::number(id));
    control->setGeometry(rect);
    return control;
}

TEST(ControlLayout, NestedMissingAndDeletedControlsAndAnEmptyView) {
    // "&Apply" inside its frame; the graph is missing, the note deleted after the layout is made.
    QWidget host;
    auto* view = new QWidget(&host);
    view->resize(384, 254);
    QWidget* frame = Named(new QGroupBox(view), IDC_APPLY_FRAME, {321, 186, 60, 24});
    QWidget* apply = Named(new QLineEdit(frame), IDC_APPLY, {4, 7, 52, 14});
    QWidget* exported = Named(new QLineEdit(view), IDC_EXPORT, {342, 141, 39, 14});
    QWidget* note = Named(new QLineEdit(view), IDC_NOTE, {101, 168, 160, 21});
    // A group box made after the control it frames, and so above it at first.
    QWidget* digits = Named(new QWidget(view), IDC_DIGITS, {56, 199, 40, 14});
    Named(new QGroupBox(view), IDC_PARAMS_GROUP, {3, 186, 378, 65});
    host.show(); // a child view resizes at once, without waiting for the window system
    CControlLayout layout(kProfileFormAnchors, kProfileFormAnchorCount, *view);
    delete note;
    view->resize(484, 304);
    layout.Arrange();
    EXPECT_EQ(apply->geometry().translated(frame->pos()), QRect(425, 243, 52, 14));
    EXPECT_EQ(exported->geometry(), QRect(442, 191, 39, 14));
    // Frames go beneath the controls they frame, so that these take the clicks.
    EXPECT_EQ(view->childAt(digits->geometry().center()), digits);

    QWidget empty;
    QWidget* edit = Named(new QLineEdit(&empty), IDC_IMPORT, {10, 10, 20, 20});
    empty.resize(0, 150); // no width: not even the vertical rules apply
    CControlLayout none(kProfileFormAnchors, kProfileFormAnchorCount, empty);
    empty.resize(300, 200);
    none.Arrange();
    EXPECT_EQ(edit->geometry(), QRect(10, 10, 20, 20));
}

} // namespace
