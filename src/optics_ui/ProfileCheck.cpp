#include "optics_ui/ProfileCheck.h"

#include "framework/SettingsStore.h"
#include "optics/CheckText.h"
#include "plot/CheckFigure.h"
#include "profile/TessaronDoc.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

namespace checkui {

std::string ResponseRecordPath(const SettingsStore& settings) {
    return settings.GetString(settings::kSection, kResponseRecord, "");
}

bool ReportHasCheckPage(const SettingsStore& settings) {
    return settings.GetInt(settings::kSection, kReportPage, 0) != 0;
}

ResponseChoice ResponseOfSettings(const SettingsStore& settings) {
    ResponseChoice choice;
    const std::string path = ResponseRecordPath(settings);
    if (path.empty()) {
        return choice;
    }
    auto read = optics::ReadRecordedResponse(path);
    if (!read) {
        choice.error = read.Message();
        return choice;
    }
    choice.response = std::move(*read);
    return choice;
}

optics::InputOutcome ProfileCheckInput(CTessaronDoc& doc,
                                       const optics::RecordedResponse* response) {
    optics::InputOutcome outcome = optics::ProfileInput(doc);
    if (outcome.input && response != nullptr) {
        std::string refusal = optics::UseResponse(*outcome.input, *response);
        if (!refusal.empty()) {
            outcome.input.reset();
            outcome.error = std::move(refusal);
        }
    }
    return outcome;
}

void DrawProfileCheckPage(QPainter& painter, const QRectF& area, CTessaronDoc& doc,
                          const SettingsStore& settings) {
    const plot::Style style;
    const ResponseChoice choice = ResponseOfSettings(settings);
    std::string heading = "Optical check of " + doc.GetTitle() + ", response " +
                          (choice.response ? choice.response->source : std::string("linear"));
    painter.save();
    QFont font(painter.font().family());
    font.setPointSizeF(style.fontSize * 1.25);
    font.setBold(true);
    const QFontMetricsF metrics(font, painter.device());
    painter.setFont(font);
    painter.setPen(style.text);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), metrics.height()),
                     Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(heading));
    const QRectF below = area.adjusted(0.0, 1.5 * metrics.height(), 0.0, 0.0);
    std::string error = choice.error;
    std::optional<optics::CheckResult> result;
    if (error.empty()) {
        const optics::InputOutcome input =
            ProfileCheckInput(doc, choice.response ? &*choice.response : nullptr);
        if (input.input) {
            optics::CheckOutcome outcome = optics::RunCheck(*input.input);
            result = std::move(outcome.result);
            error = outcome.error;
        } else {
            error = input.error;
        }
    }
    if (result) {
        plot::DrawCheckFigure(painter, below, *result, {}, style);
    } else {
        plot::DrawCheckMessage(painter, below, error, style);
    }
    painter.restore();
}

} // namespace checkui
