// The picture of an optical check as a PNG or PDF file, for programs without Qt of their own
// (the command line tool): no Qt header is needed to call it.
#pragma once

#include "optics/OpticalCheck.h"
#include "plot/PictureFile.h"

#include <optional>
#include <string>

namespace plot {

// Draws the check's figure (charts and figures, see CheckFigure.h) under `title` and replaces
// `path` with it, as PictureFile's WritePicture does. Nothing on success.
std::optional<PictureError> WriteCheckPicture(const std::string& path,
                                              const optics::CheckResult& result, bool logarithmic,
                                              const std::string& title);

} // namespace plot
