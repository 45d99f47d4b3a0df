#include "profile_ui/ControlLayout.h"

#include "profile_ui/ProfileFormIds.h"

#include <QGroupBox>
#include <algorithm>
#include <climits>
#include <unordered_map>

namespace {

constexpr bool X = true;
constexpr bool o = false;

} // namespace

// Data list, buttons and read-outs follow the right side; the parameter fields spread over the
// widened group box; graph and wizard area grow; every control is stacked at the bottom.
// clang-format off
const ControlAnchor kProfileFormAnchors[kProfileFormAnchorCount] = {
    // control             L  R  T  B    sizeX sizeY scaleX  scaleY after
    {IDC_DATA_LIST,        o, X, X, X,   o,     X,     o,      o,     0},
    {IDC_IMPORT,           o, X, o, X,   o,     o,     o,      o,     0},
    {IDC_EXPORT,           o, X, o, X,   o,     o,     o,      o,     0},
    {IDC_DISTANCE_LABEL,   o, X, o, X,   o,     o,     o,      o,     0},
    {IDC_DISTANCE,         o, X, o, X,   o,     o,     o,      o,     0},
    {IDC_CURRENT_LABEL,    o, X, o, X,   o,     o,     o,      o,     0},
    {IDC_CURRENT,          o, X, o, X,   o,     o,     o,      o,     0},
    {IDC_DATA_LABEL,       o, X, o, o,   o,     o,     o,      o,     0},
    {IDC_APPLY,            o, X, o, X,   o,     o,     o,      o,     0},
    {IDC_BROWSE,           o, X, o, X,   o,     o,     o,      o,     0},
    {IDC_FROM_LIBRARY,     o, X, o, X,   o,     o,     o,      o,     0},
    {IDC_APPLY_FRAME,      o, X, o, X,   o,     o,     o,      o,     0},
    {IDC_PARAMS_GROUP,     X, X, o, X,   X,     o,     o,      o,     0},
    {IDC_USE_CORRECTION,   X, X, o, X,   o,     o,     o,      o,     0},
    {IDC_CORRECTION_PATH,  X, X, o, X,   X,     o,     X,      o,     0},
    {IDC_PATH_LABEL,       X, X, o, X,   o,     o,     o,      o,     0},
    {IDC_MAX_PHASE,        X, X, o, X,   X,     o,     X,      o,     0},
    {IDC_MAX_PHASE_LABEL,  X, X, o, X,   o,     o,     o,      o,     0},
    {IDC_APERTURE,         X, X, o, X,   X,     o,     X,      o,     0},
    {IDC_APERTURE_LABEL,   X, X, o, X,   o,     o,     o,      o,     0},
    {IDC_DIGITS,           X, X, o, X,   X,     o,     X,      o,     0},
    {IDC_DIGITS_LABEL,     X, X, o, X,   o,     o,     o,      o,     0},
    {IDC_ELEMENTS,         X, X, o, X,   X,     o,     X,      o,     0},
    {IDC_ELEMENTS_LABEL,   X, X, o, X,   o,     o,     o,      o,     0},
    {IDC_LOW,              X, X, o, X,   X,     o,     X,      o,     0},
    {IDC_HIGH,             X, X, o, X,   X,     o,     X,      o,     0},
    {IDC_LOW_LABEL,        X, X, o, X,   o,     o,     o,      o,     0},
    {IDC_HIGH_LABEL,       X, X, o, X,   o,     o,     o,      o,     0},
    {IDC_GRAPH,            X, X, X, X,   X,     X,     o,      o,     0},
    {IDC_INSERT_PATH,      o, X, o, X,   o,     o,     o,      o,     0},
    {IDC_NOTE,             X, X, o, X,   X,     o,     o,      o,     0},
    {IDC_GENERATE,         o, o, o, X,   o,     o,     o,      o,     0},
    {IDC_WIZARD_GROUP,     o, o, X, X,   o,     X,     o,      o,     0},
    {IDC_MIN_VOLTAGE,      o, o, o, X,   o,     o,     o,      o,     0},
    {IDC_LIMIT_JUMPS,      o, o, o, X,   o,     o,     o,      o,     0},
    {IDC_MAX_JUMPS,        o, o, o, X,   o,     o,     o,      o,     0},
};
// clang-format on

namespace {

// Intermediate products can pass the range of int for very large views (256 times a width);
// they are formed in 64 bits, where / truncates toward zero just the same, and the result is
// clamped into int.
using Wide = long long;

int ToInt(Wide value) {
    return static_cast<int>(std::clamp<Wide>(value, INT_MIN, INT_MAX));
}

// One axis of a control: its position and extent.
struct Span {
    Wide pos;
    Wide extent;
};

// The rule of one axis. `lo`/`hi` name the left/right (top/bottom) edges; `present` and
// `original` are the control's edges now and at design time, `design` and `now` the view's.
Span ArrangeAxis(bool size, bool anchorLo, bool anchorHi, bool scale, Wide presentLo,
                 Wide presentHi, Wide originalLo, Wide originalHi, Wide designLo, Wide designHi,
                 Wide nowLo, Wide nowHi) {
    Span span{presentLo, presentHi - presentLo};
    const Wide designExtent = designHi - designLo;
    if (designExtent == 0) {
        return span; // nothing to measure against
    }
    if (size) {
        if (!(anchorLo && anchorHi)) {
            return span;
        }
        if (scale) {
            // Scale factor with 8 fractional bits.
            const Wide k = (nowHi - nowLo) * 256 / designExtent;
            span.pos = originalLo * k / 256;
            span.extent = originalHi * k / 256 - span.pos;
        } else {
            // The far edge keeps its distance from the view's far side.
            span.extent = originalHi + (nowHi - designHi) - span.pos;
        }
    } else if (anchorHi && !anchorLo) {
        span.pos = originalLo + (nowHi - designHi);
    } else if (anchorHi && anchorLo && designHi != 0) {
        // The centre keeps its relative place.
        span.pos = (originalLo + originalHi) / 2 * nowHi / designHi - (originalHi - originalLo) / 2;
    }
    return span;
}

} // namespace

LayoutRect LayoutRect::FromQRect(const QRect& rect) {
    return {rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height()};
}

LayoutRect AnchoredRect(const ControlAnchor& row, const LayoutRect& present,
                        const LayoutRect& original, const LayoutRect& design,
                        const LayoutRect& now) {
    const Span x = ArrangeAxis(row.sizeX, row.anchorLeft, row.anchorRight, row.scaleX, present.left,
                               present.right, original.left, original.right, design.left,
                               design.right, now.left, now.right);
    const Span y = ArrangeAxis(row.sizeY, row.anchorTop, row.anchorBottom, row.scaleY, present.top,
                               present.bottom, original.top, original.bottom, design.top,
                               design.bottom, now.top, now.bottom);
    return {ToInt(x.pos), ToInt(y.pos), ToInt(x.pos + x.extent), ToInt(y.pos + y.extent)};
}

CControlLayout::CControlLayout(const ControlAnchor* table, int rows, QWidget& view)
    : m_view(view), m_design(LayoutRect::FromQRect(view.rect())) {
    if (table == nullptr) {
        rows = 0;
    }
    for (int i = 0; i < rows; ++i) {
        Row row{&table[i], FindControl(table[i].nControlId), {}};
        if (row.control) {
            row.original = LayoutRect::FromQRect(InViewCoordinates(*row.control));
        }
        m_rows.push_back(row);
    }
}

QWidget* CControlLayout::FindControl(int id) const {
    const QString name = QString::number(id);
    if (auto* direct = m_view.findChild<QWidget*>(name, Qt::FindDirectChildrenOnly)) {
        return direct;
    }
    return m_view.findChild<QWidget*>(name);
}

QRect CControlLayout::InViewCoordinates(const QWidget& control) const {
    QWidget* parent = control.parentWidget();
    if (parent == &m_view || parent == nullptr) {
        return control.geometry();
    }
    return control.geometry().translated(parent->mapTo(&m_view, QPoint(0, 0)));
}

void CControlLayout::Arrange() {
    if (m_design.right - m_design.left <= 0 || m_design.bottom - m_design.top <= 0) {
        return;
    }
    const LayoutRect now = LayoutRect::FromQRect(m_view.rect());

    // Every target first, in the view's coordinates.
    std::unordered_map<const QWidget*, QRect> targets;
    std::vector<std::pair<const Row*, QRect>> moves;
    for (const Row& row : m_rows) {
        if (!row.control) {
            continue;
        }
        const LayoutRect present = LayoutRect::FromQRect(InViewCoordinates(*row.control));
        const QRect target =
            AnchoredRect(*row.anchor, present, row.original, m_design, now).ToQRect();
        targets[row.control] = target;
        moves.emplace_back(&row, target);
    }

    // Where a widget's origin lies in the view once every target is applied: a control nested
    // in another control of the table moves with its container's new place.
    const auto finalOrigin = [&](const QWidget* widget) {
        QPoint origin;
        while (widget != nullptr && widget != &m_view) {
            const auto found = targets.find(widget);
            if (found != targets.end()) {
                return origin + found->second.topLeft();
            }
            origin += widget->pos();
            widget = widget->parentWidget();
        }
        return origin;
    };

    for (const auto& [row, target] : moves) {
        if (!row->control) {
            continue; // deleted by what an earlier move set off
        }
        QWidget& control = *row->control;
        control.setGeometry(target.translated(-finalOrigin(control.parentWidget())));
        QWidget* after =
            row->anchor->nInsertAfter == 0 ? nullptr : FindControl(row->anchor->nInsertAfter);
        if (after != nullptr && after != &control &&
            after->parentWidget() == control.parentWidget()) {
            control.stackUnder(after);
        } else {
            control.lower();
        }
    }
    // A group box is only a frame, but a widget stacked above others takes their mouse clicks:
    // frames go back beneath all other controls, in table order (the frame of "&Apply" comes
    // before the parameters' group box and so stays above it).
    for (const auto& [row, target] : moves) {
        if (row->control && qobject_cast<QGroupBox*>(row->control.data()) != nullptr) {
            row->control->lower();
        }
    }
}
