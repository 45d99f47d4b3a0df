// The print run of a view, shared by printing, printing to a PDF file and the print preview:
// the view lays out and draws one page at a time, in ascending order, and decides page by
// page whether there is another one, so that a report needs no page count in advance.
#pragma once

#include <QRect>

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

// Prints `view` onto `printer`, from page 1 until the view says it has no more pages; when the
// printer's range asks for pages from..to, only those reach the printer (the pages before
// them are laid out without drawing). `preview` is passed on to the view.
PrintResult RunPrintJob(PrintableView& view, QPrinter& printer, bool preview);
