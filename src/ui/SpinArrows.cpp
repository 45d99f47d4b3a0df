#include "ui/SpinArrows.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

namespace {

// Delay before an arrow held down starts repeating, and the interval of the repeats (ms).
constexpr int kRepeatDelay = 400;
constexpr int kRepeatInterval = 100;

QToolButton* MakeArrow(Qt::ArrowType type, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setArrowType(type);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    button->setAutoRepeatDelay(kRepeatDelay);
    button->setAutoRepeatInterval(kRepeatInterval);
    button->setAutoRaise(false);
    return button;
}

} // namespace

SpinArrows::SpinArrows(QWidget* parent)
    : QWidget(parent), m_up(MakeArrow(Qt::UpArrow, this)), m_down(MakeArrow(Qt::DownArrow, this)) {
    setFocusPolicy(Qt::NoFocus);
    // An auto-repeating button emits clicked at every repeat, so holding an arrow keeps
    // stepping.
    connect(m_up, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

SpinArrows::~SpinArrows() {
    SetBuddy(nullptr);
}

void SpinArrows::SetBuddy(QLineEdit* buddy) {
    if (m_buddy.data() == buddy) {
        return;
    }
    if (m_buddy) {
        m_buddy->removeEventFilter(this);
    }
    m_buddy = buddy;
    if (m_buddy) {
        m_buddy->installEventFilter(this);
    }
}

QLineEdit* SpinArrows::Buddy() const {
    return qobject_cast<QLineEdit*>(m_buddy.data());
}

void SpinArrows::AlignToBuddy() {
    if (!m_buddy || m_buddy->parentWidget() != parentWidget()) {
        return;
    }
    const QRect field = m_buddy->geometry();
    const int arrowsWidth = std::min(width(), field.width());
    setGeometry(field.right() + 1 - arrowsWidth, field.top(), arrowsWidth, field.height());
    m_buddy->resize(field.width() - arrowsWidth, field.height());
}

void SpinArrows::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The upper half for the up arrow, the rest for the down arrow.
    const int upHeight = height() / 2;
    m_up->setGeometry(0, 0, width(), upHeight);
    m_down->setGeometry(0, upHeight, width(), height() - upHeight);
}

bool SpinArrows::eventFilter(QObject* watched, QEvent* event) {
    // Only a plain Up or Down key press steps; everything else, shortcut overrides included,
    // goes on to the buddy and the window as usual.
    if (watched == m_buddy.data() && event->type() == QEvent::KeyPress && isEnabled()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers == Qt::NoModifier &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            Step(key->key() == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SpinArrows::Step(int delta) {
    if (isEnabled()) {
        emit deltaPos(delta);
    }
}
