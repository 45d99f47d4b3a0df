// Pictures as files: a drawing made on a PNG image or a PDF page, checked and written the way
// the program writes every file (a new file beside the target, every byte checked, then
// renamed over it), so a failed write leaves an earlier picture of the name as it was.
//
// The interface names no Qt type but the painter and rectangle the drawing gets, so programs
// without a window (the command line tool) use it without Qt headers of their own. Without a
// Qt application in the process, one is made for the drawing on the offscreen platform: no
// display is needed.
#pragma once

#include <functional>
#include <optional>
#include <string>

class QPainter;
class QRectF;

namespace plot {

enum class PictureFormat { Png, Pdf };

// The format a file name asks for by its extension (".png", ".pdf", in any case).
std::optional<PictureFormat> FormatOfPath(const std::string& path);

// The picture's size on paper; a PNG image has `dpi` pixels per inch of it.
struct PictureSize {
    double widthMm = 240.0;
    double heightMm = 160.0;
    int dpi = 150;
};

// Draws the picture into the whole rectangle it is given, on the painter it is given.
using PictureDrawing = std::function<void(QPainter& painter, const QRectF& area)>;

// Why a picture was not written: a sentence, and the file with the system's reason when
// there is one ("PATH: No space left on device").
struct PictureError {
    std::string message;
    std::string detail;
};

// Draws a picture of `size` and replaces the file `path` with it, as a PNG or PDF file by the
// path's extension. Nothing on success.
std::optional<PictureError> WritePicture(const std::string& path, const PictureSize& size,
                                         const PictureDrawing& draw);

} // namespace plot
