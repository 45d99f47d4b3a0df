#include "plot/CheckPicture.h"

#include "plot/CheckFigure.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

namespace plot {

std::optional<PictureError> WriteCheckPicture(const std::string& path,
                                              const optics::CheckResult& result, bool logarithmic,
                                              const std::string& title) {
    CheckFigureOptions options;
    options.intensity = logarithmic ? Scale::Logarithmic : Scale::Linear;
    return WritePicture(path, PictureSize{}, [&](QPainter& painter, const QRectF& area) {
        const Style style;
        QFont font(painter.font().family());
        font.setPointSizeF(style.fontSize * 1.25);
        font.setBold(true);
        const QFontMetricsF metrics(font, painter.device());
        const double pad = style.padding * painter.device()->logicalDpiY() / 72.0;
        painter.fillRect(area, style.background);
        painter.setFont(font);
        painter.setPen(style.text);
        painter.drawText(QPointF(area.left() + pad, area.top() + pad + metrics.ascent()),
                         QString::fromStdString(title));
        const QRectF below = area.adjusted(0.0, metrics.height() + 2.0 * pad, 0.0, 0.0);
        DrawCheckFigure(painter, below, result, options, style);
    });
}

} // namespace plot
