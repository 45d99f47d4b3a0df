#include "ui/PrintJob.h"

#include <QPainter>
#include <QPrinter>

PrintResult RunPrintJob(PrintableView& view, QPrinter& printer, bool preview) {
    PrintResult result;
    QPainter painter;
    if (!painter.begin(&printer)) {
        return result;
    }

    int first = 1;
    int last = 0; // 0: no last page
    if (!preview && printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage();
        last = printer.toPage() >= first ? printer.toPage() : 0;
    }

    PrintInfo info;
    info.preview = preview;
    info.printableRect = QRect(0, 0, printer.width(), printer.height());
    view.OnBeginPrinting(painter, info);
    for (int page = 1; last == 0 || page <= last; ++page) {
        info.currentPage = page;
        info.continuePrinting = true;
        view.OnPrepareDC(painter, info);
        if (!info.continuePrinting) {
            break;
        }
        info.draw = page >= first;
        if (info.draw && result.pages > 0) {
            printer.newPage();
        }
        painter.save();
        view.OnPrint(painter, info);
        painter.restore();
        if (info.draw) {
            ++result.pages;
        }
    }
    view.OnEndPrinting(painter, info);
    result.printed = painter.end();
    return result;
}
