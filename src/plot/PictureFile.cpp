#include "plot/PictureFile.h"

#include "framework/SafeFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cctype>
#include <cmath>

namespace plot {

namespace {

// The pixels of a PDF page: lines and texts are placed to a 600th of an inch.
constexpr int kPdfResolution = 600;
// No side of a PNG image beyond this many pixels (a poster at 300 dpi).
constexpr double kMaxPixels = 20000.0;
constexpr double kMmPerInch = 25.4;

// A Qt application for the drawing when the process has none: on the offscreen platform, so
// that the picture needs no display. Fonts and painting on images need one.
class GuiSession {
public:
    GuiSession() {
        if (QCoreApplication::instance() == nullptr) {
            m_app.emplace(m_argc, m_argv);
        }
    }
    GuiSession(const GuiSession&) = delete;
    GuiSession& operator=(const GuiSession&) = delete;

    static bool Usable() {
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    }

private:
    char m_name[16] = "tessaron";
    char m_option[16] = "-platform";
    char m_platform[16] = "offscreen";
    char* m_argv[4] = {m_name, m_option, m_platform, nullptr};
    int m_argc = 3;
    std::optional<QGuiApplication> m_app;
};

std::optional<PictureError> Refused(std::string message) {
    return PictureError{std::move(message), {}};
}

std::optional<QByteArray> Png(const PictureSize& size, const PictureDrawing& draw) {
    const int width = static_cast<int>(std::lround(size.widthMm / kMmPerInch * size.dpi));
    const int height = static_cast<int>(std::lround(size.heightMm / kMmPerInch * size.dpi));
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return std::nullopt;
    }
    const int dotsPerMetre = static_cast<int>(std::lround(size.dpi / kMmPerInch * 1000.0));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        draw(painter, QRectF(0.0, 0.0, width, height));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<QByteArray> Pdf(const std::string& path, const PictureSize& size,
                              const PictureDrawing& draw) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfResolution);
        writer.setPageSize(QPageSize(QSizeF(size.widthMm, size.heightMm), QPageSize::Millimeter,
                                     QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        writer.setTitle(QFileInfo(QString::fromStdString(path)).fileName());
        writer.setCreator(QStringLiteral("Tessaron"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            return std::nullopt;
        }
        draw(painter, QRectF(0.0, 0.0, writer.width(), writer.height()));
        painter.end();
    }
    // A PDF file ends with its trailer; a document cut short lacks it.
    if (!bytes.trimmed().endsWith("%%EOF")) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace

std::optional<PictureFormat> FormatOfPath(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos) {
        return std::nullopt;
    }
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "png") {
        return PictureFormat::Png;
    }
    if (extension == "pdf") {
        return PictureFormat::Pdf;
    }
    return std::nullopt;
}

std::optional<PictureError> WritePicture(const std::string& path, const PictureSize& size,
                                         const PictureDrawing& draw) {
    const auto format = FormatOfPath(path);
    if (!format) {
        return Refused("A picture is written as a PNG or a PDF file: \"" + path +
                       "\" ends in neither .png nor .pdf.");
    }
    const double longest = std::max(size.widthMm, size.heightMm) / kMmPerInch * size.dpi;
    if (!(size.widthMm > 0.0) || !(size.heightMm > 0.0) || size.dpi <= 0 ||
        !(longest <= kMaxPixels)) {
        return Refused("A picture must have a positive size of at most " +
                       std::to_string(static_cast<int>(kMaxPixels)) + " pixels a side.");
    }
    const GuiSession session;
    if (!GuiSession::Usable()) {
        return Refused("Pictures can only be drawn in a program with Qt's graphics.");
    }
    const std::optional<QByteArray> bytes =
        *format == PictureFormat::Png ? Png(size, draw) : Pdf(path, size, draw);
    if (!bytes) {
        return Refused(std::string("The picture could not be made as a ") +
                       (*format == PictureFormat::Png ? "PNG image." : "PDF file."));
    }
    int error = 0;
    if (!safefile::WriteAtomically(
            path, std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())),
            &error)) {
        return PictureError{"Cannot write the picture \"" + path + "\".",
                            safefile::Detail(path, error)};
    }
    return std::nullopt;
}

} // namespace plot
