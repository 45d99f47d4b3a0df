// The print run of a view, shared by printing, printing to a PDF file and the print preview:
// the view lays out and draws one page at a time, in ascending order, and decides page by
// page whether there is another one, so that a report needs no page count in advance.
#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QRect>
#include <QString>

class QPagedPaintDevice;
class QPainter;
class QPrinter;

// What one run tells the view, and what the view tells the run.
struct PrintInfo {
    bool preview = false;
    // The page being prepared or printed, from 1.
    int currentPage = 1;
    // Cleared by OnPrepareDC when the page before was the last one.
    bool continuePrinting = true;
    // False for a page before the first one asked for: the view lays it out (so that it knows
    // where the next page begins) but draws nothing.
    bool draw = true;
    // The printable area of the page, in device pixels; the painter's origin is its top left.
    QRect printableRect;
};

class PrintableView {
public:
    virtual ~PrintableView() = default;

    // Once at the start and once at the end of a run.
    virtual void OnBeginPrinting(QPainter& painter, PrintInfo& info) = 0;
    virtual void OnEndPrinting(QPainter& painter, PrintInfo& info) = 0;
    // Before each page: clears info.continuePrinting when there is no such page.
    virtual void OnPrepareDC(QPainter& painter, PrintInfo& info) = 0;
    // Lays out and (when info.draw) draws the current page.
    virtual void OnPrint(QPainter& painter, PrintInfo& info) = 0;
};

// The outcome of a run: whether the printer took the whole job (it could be started and
// finished it), and the pages it received.
struct PrintResult {
    bool printed = false;
    int pages = 0;
};

// The pages of a run that reach the device: from `first` to `last` (0: to the report's end).
struct PageSpan {
    int first = 1;
    int last = 0;
};

// The pages a printer's range asks for; a preview shows them all.
PageSpan PrintedPages(const QPrinter& printer, bool preview);

// Prints `view` onto `device`, from page 1 until the view says it has no more pages; only the
// pages of `pages` reach the device (the pages before them are laid out without drawing).
// `preview` is passed on to the view.
PrintResult RunPrintJob(PrintableView& view, QPagedPaintDevice& device, PageSpan pages,
                        bool preview);
// The same onto a printer, with the pages its range asks for.
PrintResult RunPrintJob(PrintableView& view, QPrinter& printer, bool preview);

// How a report is laid out as a PDF file.
struct PdfSetup {
    QPageLayout layout;
    int resolution = 600; // the pixels per inch the report is sized in
    QString title;        // the document's title in the file
    QString creator;
    PageSpan pages;
};

// The setup of a printer that prints into a PDF file: its page layout, resolution, document
// name and range.
PdfSetup PdfSetupOf(const QPrinter& printer);

// A report made as the bytes of a PDF file.
struct PdfReport {
    QByteArray bytes;
    PrintResult result;
};

// Makes the PDF of `view`'s report in memory. Qt's PDF output does not report a write that
// failed (a full disk leaves a cut-off file behind a run that says it finished), so nothing
// is written here: the caller writes the bytes with every one of them checked.
PdfReport RenderPdf(PrintableView& view, const PdfSetup& setup);
