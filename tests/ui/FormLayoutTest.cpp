// The two forms as a user sees them: no two controls overlap, a group box holds the controls
// that stand in it inside its frame and below its title, a label of one line shows its text on
// one line, and every control says what it does under context help. The profile form is
// checked with each wizard page, at its design size and enlarged.
#include "profile_ui/TessaronView.h"
#include "profile_ui/WizardPage.h"
#include "support/ProfileFixture.h"
#include "volt_ui/TessaronVoltView.h"

#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <functional>

namespace {

// A control of a form and its rectangle in the form's coordinates.
struct Placed {
    QWidget* control;
    QRect rect;
    std::string Name() const {
        const QString name = control->objectName();
        return (name.isEmpty() ? QString::fromLatin1(control->metaObject()->className()) : name)
                   .toStdString() +
               (qobject_cast<QLabel*>(control)
                    ? " \"" + qobject_cast<QLabel*>(control)->text().toStdString() + "\""
                    : std::string());
    }
};

std::string Text(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
           "x" + std::to_string(r.height());
}

// The form's controls: its children, with an embedded wizard page standing for its own.
std::vector<Placed> Controls(QWidget& form) {
    std::vector<Placed> controls;
    for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || !child->isVisibleTo(&form)) {
            continue;
        }
        if (auto* page = qobject_cast<WizardPage*>(child)) {
            for (QWidget* inPage : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                controls.push_back({inPage, QRect(inPage->mapTo(&form, QPoint()), inPage->size())});
            }
        } else {
            controls.push_back({child, child->geometry()});
        }
    }
    return controls;
}

// What a group box draws, in the form's coordinates: its title and its frame. The frame is
// found in a picture of the box (styles draw it inside the box's rectangle, below the title's
// top): the outermost pixels that differ from the background outside it, in a column near its
// right edge, clear of the title, and in the row half way down.
struct GroupParts {
    QRect title, frame;
};
GroupParts PartsOf(const Placed& group) {
    auto* box = qobject_cast<QGroupBox*>(group.control);
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QPoint at = group.rect.topLeft();
    const QRect title = box->title().isEmpty() ? QRect()
                                               : box->style()
                                                     ->subControlRect(QStyle::CC_GroupBox, &option,
                                                                      QStyle::SC_GroupBoxLabel, box)
                                                     .translated(at);

    const QImage picture = box->grab().toImage();
    // The top right corner lies outside the frame and clear of the title.
    const QRgb plain = picture.pixel(picture.width() - 1, 0);
    auto painted = [&](int x, int y) { return picture.pixel(x, y) != plain; };
    int top = 0, bottom = picture.height() - 1, left = 0, right = picture.width() - 1;
    const int column = picture.width() - 12;
    while (top < bottom && !painted(column, top)) {
        ++top;
    }
    while (bottom > top && !painted(column, bottom)) {
        --bottom;
    }
    const int row = (top + bottom) / 2;
    while (left < right && !painted(left, row)) {
        ++left;
    }
    while (right > left && !painted(right, row)) {
        --right;
    }
    return {title, QRect(QPoint(left, top), QPoint(right, bottom)).translated(at)};
}

// Every rule for one arrangement of a form.
void CheckLayout(QWidget& form, const std::string& what) {
    SCOPED_TRACE(what);
    const std::vector<Placed> controls = Controls(form);
    ASSERT_GT(controls.size(), 10u);
    for (const Placed& a : controls) {
        EXPECT_TRUE(form.rect().contains(a.rect)) << a.Name() << " leaves the form";
        // A label shows its whole text: a label of one line on one line.
        if (auto* label = qobject_cast<QLabel*>(a.control)) {
            if (label->wordWrap()) {
                EXPECT_LE(label->heightForWidth(label->width()), label->height()) << a.Name();
            } else {
                EXPECT_LE(label->sizeHint().width(), label->width()) << a.Name();
            }
        }
        const bool aIsGroup = qobject_cast<QGroupBox*>(a.control) != nullptr;
        for (const Placed& b : controls) {
            if (a.control == b.control) {
                continue;
            }
            if (aIsGroup) {
                const GroupParts group = PartsOf(a);
                if (a.rect.contains(b.rect.center())) {
                    // A control in a group stands inside its frame, clear of its title.
                    EXPECT_TRUE(group.frame.adjusted(1, 1, -1, -1).contains(b.rect) &&
                                !group.title.intersects(b.rect))
                        << b.Name() << " " << Text(b.rect) << " crosses the frame of " << a.Name()
                        << " (title " << Text(group.title) << ", frame " << Text(group.frame)
                        << ")";
                } else if (!b.rect.contains(a.rect.center())) {
                    EXPECT_FALSE(group.frame.intersects(b.rect) || group.title.intersects(b.rect))
                        << b.Name() << " " << Text(b.rect) << " overlaps " << a.Name() << " (title "
                        << Text(group.title) << ", frame " << Text(group.frame) << ")";
                }
            } else if (qobject_cast<QGroupBox*>(b.control) == nullptr) {
                EXPECT_FALSE(a.rect.intersects(b.rect)) << a.Name() << " overlaps " << b.Name();
            }
        }
        // Context help ("?" and a click, or Shift+F1) says what the control does.
        EXPECT_GT(a.control->whatsThis().size(), 20) << a.Name() << " has no help";
    }
}

class FormLayoutTest : public ProfileFixture {};

TEST_F(FormLayoutTest, ProfileFormWithEitherPageAtItsDesignSizeAndEnlarged) {
    CTessaronDoc& profile = NewDoc();
    CTessaronView form(profile);
    form.OnInitialUpdate();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QSize design = form.size();
    for (const int mode : {CTessaronDoc::MODE_DIOPTERS, CTessaronDoc::MODE_POLYNOMIAL}) {
        profile.SetCreationMode(mode);
        ASSERT_NE(form.Page(), nullptr);
        for (const QSize size : {design, design + QSize(160, 90), design}) {
            form.resize(size);
            CheckLayout(form, "mode " + std::to_string(mode) + ", " + std::to_string(size.width()) +
                                  " x " + std::to_string(size.height()));
        }
    }
}

TEST_F(FormLayoutTest, VoltPhaseForm) {
    CLC_VoltDoc table(context);
    ASSERT_TRUE(table.OnNewDocument());
    CTessaronVoltView form(table);
    form.OnInitialUpdate();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    CheckLayout(form, "volt-phase form");
}

} // namespace
