#include "ui/PrintJob.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

PageSpan PrintedPages(const QPrinter& printer, bool preview) {
    PageSpan pages;
    if (!preview && printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        pages.first = printer.fromPage();
        pages.last = printer.toPage() >= pages.first ? printer.toPage() : 0;
    }
    return pages;
}

PrintResult RunPrintJob(PrintableView& view, QPagedPaintDevice& device, PageSpan pages,
                        bool preview) {
    PrintResult result;
    QPainter painter;
    if (!painter.begin(&device)) {
        return result;
    }

    PrintInfo info;
    info.preview = preview;
    info.printableRect = QRect(0, 0, device.width(), device.height());
    view.OnBeginPrinting(painter, info);
    for (int page = 1; pages.last == 0 || page <= pages.last; ++page) {
        info.currentPage = page;
        info.continuePrinting = true;
        view.OnPrepareDC(painter, info);
        if (!info.continuePrinting) {
            break;
        }
        info.draw = page >= pages.first;
        if (info.draw && result.pages > 0) {
            device.newPage();
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

PrintResult RunPrintJob(PrintableView& view, QPrinter& printer, bool preview) {
    return RunPrintJob(view, printer, PrintedPages(printer, preview), preview);
}

PdfSetup PdfSetupOf(const QPrinter& printer) {
    PdfSetup setup;
    setup.layout = printer.pageLayout();
    setup.resolution = printer.resolution();
    setup.title = printer.docName();
    setup.creator = printer.creator();
    setup.pages = PrintedPages(printer, false);
    return setup;
}

PdfReport RenderPdf(PrintableView& view, const PdfSetup& setup) {
    PdfReport report;
    QBuffer buffer(&report.bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(setup.resolution);
        writer.setPageLayout(setup.layout);
        writer.setTitle(setup.title);
        writer.setCreator(setup.creator);
        report.result = RunPrintJob(view, writer, setup.pages, false);
    }
    buffer.close();
    return report;
}
