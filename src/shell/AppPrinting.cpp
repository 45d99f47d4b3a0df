// Printing of the window program: Print Setup, the print dialog, the preview, PDF files and
// the command line's print requests.
#include "framework/Prompter.h"
#include "framework/SafeFile.h"
#include "framework/SettingsStore.h"
#include "shell/MainFrame.h"
#include "shell/TessaronApp.h"
#include "ui/DocumentFrame.h"
#include "ui/PrintJob.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSetupDialog>
#include <QPaintEngine>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>

namespace {
// The pixels of a PDF page: the graph's labels and lines are sized in them, like on a
// laser printer of that resolution.
constexpr int kPdfResolution = 600;

// The preview is for reading the report: it takes nine tenths of the screen's free area,
// centred, with the pages as wide as the window ("Fit width", as its tool bar offers it).
void FitPreviewToScreen(QPrintPreviewDialog& dialog) {
    const QWidget* owner = dialog.parentWidget();
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect room = screen->availableGeometry();
        dialog.resize(room.size() * 9 / 10);
        dialog.move(room.center() - dialog.rect().center());
    }
    if (auto* fitWidth = dialog.findChild<QAction*>(QStringLiteral("fitWidthAction"))) {
        fitWidth->trigger();
    }
}
} // namespace

QPrinter& CTessaronApp::Printer() {
    if (!m_printer) {
        // Printer pixels, so that the report's tenths of millimetres and fonts come out exact.
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        if (m_printer->outputFormat() == QPrinter::PdfFormat) {
            m_printer->setResolution(kPdfResolution);
        }
    }
    return *m_printer;
}

PrintableView* CTessaronApp::ActivePrintableView() const {
    DocumentFrame* frame = m_mainFrame ? m_mainFrame->ActiveChildFrame() : nullptr;
    return frame != nullptr ? dynamic_cast<PrintableView*>(frame->widget()) : nullptr;
}

bool CTessaronApp::OnFilePrint(PrintCommand command) {
    PrintableView* view = ActivePrintableView();
    return view != nullptr && PrintView(*view, command);
}

void CTessaronApp::OnFilePrintSetup() {
    QPageSetupDialog dialog(&Printer(), m_mainFrame.get());
    dialog.exec();
}

bool CTessaronApp::PrintView(PrintableView& view, PrintCommand command) {
    QPrinter& printer = Printer();
    if (command == PrintCommand::Preview) {
        QPrintPreviewDialog dialog(&printer, m_mainFrame.get());
        connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                [this, &view](QPrinter* target) {
                    // The pages of the preview itself are drawn by a picture engine; the
                    // preview's print button prints for real, into a PDF file too.
                    if (target->paintEngine()->type() != QPaintEngine::Picture &&
                        target->outputFormat() == QPrinter::PdfFormat) {
                        PdfSetup setup = PdfSetupOf(*target);
                        setup.pages = {}; // it prints what it shows: every page
                        WritePdf(view, setup, target->outputFileName());
                    } else {
                        RunPrintJob(view, *target, true);
                    }
                });
        // One page or two side by side, as the last preview showed them.
        auto* preview = dialog.findChild<QPrintPreviewWidget*>();
        const int shown =
            m_settings->GetIntInRange(settings::kSection, settings::kPreviewPages, 1, 1, 2);
        if (preview != nullptr && shown == 2) {
            preview->setViewMode(QPrintPreviewWidget::FacingPagesView);
        }
        FitPreviewToScreen(dialog);
        dialog.exec();
        if (preview != nullptr) {
            m_settings->WriteInt(settings::kSection, settings::kPreviewPages,
                                 preview->viewMode() == QPrintPreviewWidget::FacingPagesView ? 2
                                                                                             : 1);
        }
        return true;
    }
    if (command == PrintCommand::Dialog) {
        if (m_printDialog) {
            if (!m_printDialog(printer)) {
                return false;
            }
        } else {
            QPrintDialog dialog(&printer, m_mainFrame.get());
            dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
            dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
            if (dialog.exec() != QDialog::Accepted) {
                return false;
            }
        }
    } else {
        printer.setPrintRange(QPrinter::AllPages);
    }
    if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName().isEmpty()) {
        m_prompter->MessageBox("No printer is installed. Choose \"Print to File (PDF)\" in the "
                               "Print dialog to keep the report as a PDF file.",
                               MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        return WritePdf(view, PdfSetupOf(printer), printer.outputFileName());
    }
    return CheckPrinted(RunPrintJob(view, printer, false), printer.printerName());
}

bool CTessaronApp::CheckPrinted(const PrintResult& result, const QString& target) {
    if (result.printed && result.pages == 0) {
        // The range asked for lies beyond the report's last page.
        m_prompter->MessageBox("The report has no pages in the range asked for; nothing was "
                               "printed.",
                               MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (!result.printed) {
        m_prompter->MessageBox(
            QString("The report could not be printed on \"%1\".").arg(target).toStdString(),
            MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

bool CTessaronApp::WritePdf(PrintableView& view, const PdfSetup& setup, const QString& path) {
    // The report is made in memory and then replaces the file as a whole, every byte checked
    // and flushed to disk first: a failed write leaves an earlier file of the name as it was.
    const PdfReport report = RenderPdf(view, setup);
    if (!CheckPrinted(report.result, path)) {
        return false;
    }
    int error = 0;
    if (!safefile::WriteAtomically(QFile::encodeName(path).toStdString(),
                                   std::string_view(report.bytes.constData(),
                                                    static_cast<std::size_t>(report.bytes.size())),
                                   &error)) {
        m_prompter->DetailedMessageBox(QString("Cannot write to \"%1\".").arg(path).toStdString(),
                                       safefile::Reason(error), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

bool CTessaronApp::PrintToPdf(PrintableView& view, const QString& path) {
    PdfSetup setup;
    setup.layout = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                               QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    setup.resolution = kPdfResolution;
    setup.title = QFileInfo(path).fileName();
    setup.creator = "Tessaron";
    return WritePdf(view, setup, path);
}

bool CTessaronApp::PrintFromCommandLine() {
    if (!m_options.printerName.isEmpty()) {
        Printer().setPrinterName(m_options.printerName);
    }
    bool printed = true;
    for (const QString& path : m_options.documents) {
        Document* document = OpenDocumentFile(path);
        if (document == nullptr) {
            printed = false;
            continue;
        }
        const std::vector<DocumentFrame*> frames = FramesOf(*document);
        auto* view = frames.empty() ? nullptr : dynamic_cast<PrintableView*>(frames[0]->widget());
        if (view == nullptr) {
            m_prompter->MessageBox(
                QString("\"%1\" has no printed report: only profiles (.lcp) have one.")
                    .arg(path)
                    .toStdString(),
                MB_OK | MB_ICONEXCLAMATION);
            printed = false;
        } else if (!(m_options.printPdf.isEmpty() ? PrintView(*view, PrintCommand::Direct)
                                                  : PrintToPdf(*view, m_options.printPdf))) {
            printed = false;
        }
        CloseDocument(*document, false);
    }
    return printed;
}
