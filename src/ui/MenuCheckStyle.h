// The style of the main window's menus: a command that can be checked shows its mark only
// while it is checked, and nothing at all while it is not (Connect, Send, the tool bar and the
// status bar), instead of an empty box beside every such command.
#pragma once

#include <QProxyStyle>

class MenuCheckStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Draws as the application's style does but for the marks of unchecked menu commands.
    MenuCheckStyle();

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};
