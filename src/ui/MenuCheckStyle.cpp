#include "ui/MenuCheckStyle.h"

#include <QStyleOptionMenuItem>

MenuCheckStyle::MenuCheckStyle() = default;

void MenuCheckStyle::drawControl(ControlElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element == CE_MenuItem && item != nullptr &&
        item->checkType != QStyleOptionMenuItem::NotCheckable && !item->checked) {
        // Drawn as a command that cannot be checked; the room of the check column stays, so
        // the texts of a menu still line up.
        QStyleOptionMenuItem unchecked = *item;
        unchecked.checkType = QStyleOptionMenuItem::NotCheckable;
        QProxyStyle::drawControl(element, &unchecked, painter, widget);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}
