#include "ui/HyperlinkLabel.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QMouseEvent>
#include <utility>

HyperlinkLabel::HyperlinkLabel(const QString& text, const QString& target, QWidget* parent)
    : QLabel(parent), m_target(target),
      m_opener([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    // Addresses are shown literally, never interpreted as markup.
    setTextFormat(Qt::PlainText);
    setText(text);
    setCursor(Qt::PointingHandCursor);
    // Mouse moves without a pressed button tell the link that it is under the mouse.
    setMouseTracking(true);
    ApplyLook();
}

void HyperlinkLabel::SetOpener(Opener opener) {
    m_opener = std::move(opener);
}

QUrl HyperlinkLabel::TargetUrl(const QString& target) {
    return QUrl::fromUserInput(target);
}

void HyperlinkLabel::enterEvent(QEnterEvent* event) {
    SetState(LinkState::Hover);
    QLabel::enterEvent(event);
}

void HyperlinkLabel::leaveEvent(QEvent* event) {
    SetState(LinkState::Normal);
    QLabel::leaveEvent(event);
}

void HyperlinkLabel::mouseMoveEvent(QMouseEvent* event) {
    // While a button is held the label keeps receiving moves outside itself; only a position
    // inside it counts as over the link.
    SetState(rect().contains(event->position().toPoint()) ? LinkState::Hover : LinkState::Normal);
    QLabel::mouseMoveEvent(event);
}

void HyperlinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_target.isEmpty() || !m_opener) {
        QLabel::mousePressEvent(event);
        return;
    }
    event->accept();
    // After the desktop took the link the label drops its highlight, so it does not stay
    // purple behind the browser or mail window; the next move over it brings it back.
    if (m_opener(TargetUrl(m_target)) && m_state == LinkState::Hover) {
        SetState(LinkState::Normal);
    }
}

void HyperlinkLabel::hideEvent(QHideEvent* event) {
    SetState(LinkState::Normal);
    QLabel::hideEvent(event);
}

void HyperlinkLabel::SetState(LinkState state) {
    if (state == m_state) {
        return;
    }
    m_state = state;
    ApplyLook();
}

void HyperlinkLabel::ApplyLook() {
    const bool hover = m_state == LinkState::Hover;

    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, hover ? HoverColor() : NormalColor());
    setPalette(colours);

    // Only the underline changes: family and size stay those of the form.
    QFont font = this->font();
    font.setUnderline(hover);
    setFont(font);
}
