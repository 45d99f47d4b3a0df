// Anchoring of the profile form's controls: each rule on hand-computed rectangles, and the whole
// form grown and shrunk back.
#include "profile_ui/ControlLayout.h"

#include "profile_ui/ProfileFormIds.h"
#include "ui/DialogUnits.h"

#include <QGroupBox>
#include <QLineEdit>
#include <gtest/gtest.h>
#include <map>
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

// The profile form's controls at their designed rectangles (dialog units), in creation order.
struct Placed {
    int id, x, y, w, h;
};
const Placed kForm[] = {
    {IDC_MODE_DIOPTERS, 9, 14, 80, 10},     {IDC_MODE_POLYNOMIAL, 9, 26, 71, 10},
    {IDC_WIZARD_GROUP, 3, 41, 95, 141},     {IDC_LIMIT_JUMPS, 8, 134, 66, 16},
    {IDC_MAX_JUMPS, 74, 137, 21, 14},       {IDC_MIN_VOLTAGE, 8, 153, 80, 10},
    {IDC_GENERATE, 6, 165, 89, 14},         {IDC_INSERT_PATH, 264, 168, 35, 21},
    {IDC_DIGITS, 56, 199, 40, 14},          {IDC_MAX_PHASE, 158, 199, 40, 14},
    {IDC_ELEMENTS, 56, 216, 40, 14},        {IDC_APERTURE, 158, 216, 40, 14},
    {IDC_USE_CORRECTION, 224, 202, 83, 10}, {IDC_CORRECTION_PATH, 224, 216, 114, 14},
    {IDC_BROWSE, 341, 216, 36, 14},         {IDC_APPLY, 325, 193, 52, 14},
    {IDC_DATA_LABEL, 310, 7, 68, 8},        {IDC_DATA_LIST, 302, 17, 79, 121},
    {IDC_IMPORT, 302, 141, 39, 14},         {IDC_EXPORT, 342, 141, 39, 14},
    {IDC_DISTANCE_LABEL, 302, 158, 36, 17}, {IDC_DISTANCE, 341, 160, 40, 13},
    {IDC_CURRENT_LABEL, 306, 177, 33, 8},   {IDC_CURRENT, 341, 175, 40, 13},
    {IDC_GRAPH, 101, 6, 197, 160},          {IDC_MODE_GROUP, 3, 3, 95, 37},
    {IDC_DIGITS_LABEL, 10, 202, 44, 8},     {IDC_MAX_PHASE_LABEL, 103, 197, 51, 17},
    {IDC_ELEMENTS_LABEL, 10, 219, 44, 8},   {IDC_APERTURE_LABEL, 116, 219, 40, 9},
    {IDC_PATH_LABEL, 204, 219, 18, 8},      {IDC_PARAMS_GROUP, 3, 186, 378, 65},
    {IDC_APPLY_FRAME, 321, 186, 60, 24},    {IDC_NOTE, 101, 168, 160, 21},
    {IDC_LOW_LABEL, 14, 232, 38, 16},       {IDC_LOW, 56, 233, 40, 14},
    {IDC_HIGH_LABEL, 116, 232, 38, 16},     {IDC_HIGH, 158, 233, 40, 14},
};
// Group boxes, and the radio buttons the (unmoved) creation-mode group box covers.
bool Framed(int id) {
    return id == IDC_MODE_GROUP || id == IDC_WIZARD_GROUP || id == IDC_PARAMS_GROUP ||
           id == IDC_APPLY_FRAME || id == IDC_MODE_DIOPTERS || id == IDC_MODE_POLYNOMIAL;
}

class ControlLayoutForm : public ::testing::Test {
protected:
    ControlLayoutForm() {
        view->setFont(DialogUnits::FormFont());
        view->resize(units.ToPixels(0, 0, 384, 254).size());
        for (const Placed& p : kForm) {
            QWidget* control =
                Framed(p.id) ? static_cast<QWidget*>(new QGroupBox(view)) : new QLineEdit(view);
            control->setObjectName(QString::number(p.id));
            units.Place(control, p.x, p.y, p.w, p.h);
            designed[p.id] = control->geometry();
        }
        host.show(); // a child view resizes at once, without waiting for the window system
    }
    QRect At(int id) const { return view->findChild<QWidget*>(QString::number(id))->geometry(); }

    QWidget host;
    QWidget* view = new QWidget(&host);
    DialogUnits units{DialogUnits::FormFont()};
    std::map<int, QRect> designed;
};

TEST_F(ControlLayoutForm, GrowsByTheTableAndRestoresExactly) {
    CControlLayout layout(kProfileFormAnchors, kProfileFormAnchorCount, *view);
    const QSize design = view->size();
    view->resize(design + QSize(100, 50));
    layout.Arrange();

    // id, moved by dx, dy, grown by dw, dh
    const int moves[][5] = {
        {IDC_APPLY, 100, 50, 0, 0},        {IDC_BROWSE, 100, 50, 0, 0},
        {IDC_IMPORT, 100, 50, 0, 0},       {IDC_EXPORT, 100, 50, 0, 0},
        {IDC_INSERT_PATH, 100, 50, 0, 0},  {IDC_DATA_LABEL, 100, 0, 0, 0},
        {IDC_DATA_LIST, 100, 0, 0, 50},    {IDC_GRAPH, 0, 0, 100, 50},
        {IDC_WIZARD_GROUP, 0, 0, 0, 50},   {IDC_GENERATE, 0, 50, 0, 0},
        {IDC_PARAMS_GROUP, 0, 50, 100, 0}, {IDC_NOTE, 0, 50, 100, 0},
        {IDC_MODE_GROUP, 0, 0, 0, 0},      {IDC_MODE_DIOPTERS, 0, 0, 0, 0},
    };
    for (const auto& [id, dx, dy, dw, dh] : moves) {
        EXPECT_EQ(At(id), designed[id].translated(dx, dy).adjusted(0, 0, dw, dh)) << id;
    }
    // Scaled edits keep their proportional place and width; centred labels their centre.
    const double scale = (design.width() + 100.0) / design.width();
    for (const int id : {IDC_DIGITS, IDC_MAX_PHASE, IDC_LOW, IDC_HIGH, IDC_CORRECTION_PATH,
                         IDC_DIGITS_LABEL, IDC_USE_CORRECTION, IDC_PATH_LABEL}) {
        const bool label =
            id == IDC_DIGITS_LABEL || id == IDC_USE_CORRECTION || id == IDC_PATH_LABEL;
        const QRect was = designed[id], now = At(id);
        EXPECT_NEAR(now.center().x(), was.center().x() * scale, 2) << id;
        EXPECT_NEAR(now.width(), label ? was.width() : was.width() * scale, 2) << id;
        EXPECT_EQ(now.y(), was.y() + 50) << id;
    }

    view->resize(design);
    layout.Arrange();
    for (const Placed& p : kForm) {
        EXPECT_EQ(At(p.id), designed[p.id]) << p.id;
        // Frames lie beneath the controls they frame, so that these take the clicks.
        QWidget* hit = view->childAt(At(p.id).center());
        while (hit != nullptr && hit->parentWidget() != view) {
            hit = hit->parentWidget();
        }
        if (!Framed(p.id)) {
            EXPECT_EQ(hit ? hit->objectName().toInt() : 0, p.id) << p.id;
        }
    }
}

TEST_F(ControlLayoutForm, NestedMissingAndDeletedControlsAndAnEmptyView) {
    // "&Apply" inside its frame; the graph gone before the layout is made, the note after.
    QWidget* apply = view->findChild<QWidget*>(QString::number(IDC_APPLY));
    QWidget* frame = view->findChild<QWidget*>(QString::number(IDC_APPLY_FRAME));
    apply->setParent(frame);
    apply->setGeometry(designed[IDC_APPLY].translated(-frame->pos()));
    delete view->findChild<QWidget*>(QString::number(IDC_GRAPH));
    CControlLayout layout(kProfileFormAnchors, kProfileFormAnchorCount, *view);
    delete view->findChild<QWidget*>(QString::number(IDC_NOTE));

    view->resize(view->size() + QSize(100, 50));
    layout.Arrange();
    EXPECT_EQ(apply->geometry().translated(frame->pos()), designed[IDC_APPLY].translated(100, 50));
    EXPECT_EQ(At(IDC_EXPORT), designed[IDC_EXPORT].translated(100, 50));

    QWidget empty;
    auto* edit = new QLineEdit(&empty);
    edit->setObjectName(QString::number(IDC_IMPORT));
    edit->setGeometry(10, 10, 20, 20);
    empty.resize(0, 150); // no width: not even the vertical rules apply
    CControlLayout none(kProfileFormAnchors, kProfileFormAnchorCount, empty);
    empty.resize(300, 200);
    none.Arrange();
    EXPECT_EQ(edit->geometry(), QRect(10, 10, 20, 20));
}

} // namespace
