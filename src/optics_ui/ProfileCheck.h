// The optical check of a profile in the window program: the response the person chose (kept
// in the settings file, so that the check window and the printed report agree) and the
// report's optional page with the check's picture.
#pragma once

#include "optics/DocumentInput.h"
#include "optics/RecordedResponse.h"

#include <QRectF>
#include <optional>
#include <string>
#include <string_view>

class CTessaronDoc;
class QPainter;
class SettingsStore;

namespace checkui {

// Section "Settings": the calibration record whose curve is the liquid crystal's response
// (absent or empty: linear), and whether the printed report adds the check's page (0 or 1,
// absent: no).
inline constexpr std::string_view kResponseRecord = "Optical Check Record";
inline constexpr std::string_view kReportPage = "Optical Check In Report";

std::string ResponseRecordPath(const SettingsStore& settings);
bool ReportHasCheckPage(const SettingsStore& settings);

// A record's response, or the reason it cannot be used.
struct ResponseChoice {
    std::optional<optics::RecordedResponse> response; // empty: linear
    std::string error;
};
// Reads the record the settings name (nothing for the linear response).
ResponseChoice ResponseOfSettings(const SettingsStore& settings);

// The check's input of `doc` with `response` (nullptr: linear), or the reason there is none.
// Computes the document's codes as a Send does; asks nothing.
optics::InputOutcome ProfileCheckInput(CTessaronDoc& doc, const optics::RecordedResponse* response);

// The report's check page: a heading, then the check's charts and figures in `area`, or the
// reason there is no check. Runs the check on the caller's thread.
void DrawProfileCheckPage(QPainter& painter, const QRectF& area, CTessaronDoc& doc,
                          const SettingsStore& settings);

} // namespace checkui
