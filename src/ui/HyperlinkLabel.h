// A text label that behaves as a hyperlink: dark blue text, purple and underlined while the
// mouse is over it, a hand cursor, and a left click that opens its target (a web address or a
// mailto: link) with the desktop's default program.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QUrl>
#include <functional>

class HyperlinkLabel : public QLabel {
    Q_OBJECT

public:
    enum class LinkState {
        Normal, // not under the mouse: dark blue, font as inherited
        Hover,  // under the mouse: purple, underlined
    };

    // Opens a link target; answers whether the desktop accepted it. The default opener is
    // QDesktopServices::openUrl; tests and embedders substitute their own.
    using Opener = std::function<bool(const QUrl&)>;

    static QColor NormalColor() { return QColor(0, 0, 192); }
    static QColor HoverColor() { return QColor(192, 0, 192); }

    // `text` is shown as plain text. An empty `target` gives a label that looks like a link
    // but opens nothing when clicked.
    explicit HyperlinkLabel(const QString& text, const QString& target = QString(),
                            QWidget* parent = nullptr);

    const QString& Target() const { return m_target; }
    LinkState State() const { return m_state; }

    void SetOpener(Opener opener);

    // The target as handed to the opener: a bare "www.…" address gains the http scheme, as a
    // desktop shell would understand it; full URLs (mailto: included) keep their encoding.
    static QUrl TargetUrl(const QString& target);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void SetState(LinkState state);
    void ApplyLook();

    QString m_target;
    Opener m_opener;
    LinkState m_state = LinkState::Normal;
};
