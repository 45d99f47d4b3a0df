// The printed profile report, read back from real PDF files with pdftotext: the heading, the
// values four to a line over as many pages as they need, printing from the command line, the
// print command and the print preview.
#include "framework/SettingsStore.h"
#include "profile/TessaronDoc.h"
#include "profile_ui/TessaronView.h"
#include "shell/MainFrame.h"
#include "shell/TessaronApp.h"
#include "support/DiskFaults.h"
#include "support/DocAccess.h"
#include "support/FakePrompter.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"
#include "ui/CommandIds.h"
#include "ui/DocumentFrame.h"

#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace {

// A page of the report as pdftotext reads it: its lines and the indices of its values.
struct Page {
    QStringList lines;
    QList<int> indices;
};

std::vector<Page> ReadPdf(const std::string& pdf) {
    // Text in drawing order; pdftotext joins the blanks between words into one.
    const ProcessResult text = RunProcess("/usr/bin/pdftotext", {"-raw", pdf, "-"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    std::vector<Page> pages;
    QStringList raw = QString::fromStdString(text.out).split('\f');
    raw.removeLast(); // pdftotext ends every page with a form feed
    static const QRegularExpression entry("(\\d{3}): \\d\\.\\d{6}e[+-]\\d{3}");
    for (const QString& body : raw) {
        Page page;
        for (const QString& line : body.split('\n', Qt::SkipEmptyParts)) {
            page.lines << line.trimmed();
            for (const auto& match : entry.globalMatch(line)) {
                page.indices << match.captured(1).toInt();
            }
        }
        pages.push_back(page);
    }
    return pages;
}

class PrintReportTest : public ::testing::Test {
protected:
    // Saves a profile of `count` values (value i is i / 100) and returns its path.
    std::string SaveProfile(const std::string& name, int count, bool correction) {
        SettingsStore settings(dir.File("make.ini"));
        FakePrompter quiet;
        AppContext context{settings, quiet};
        CTessaronDoc doc(context);
        EXPECT_TRUE(doc.OnNewDocument());
        DocFields(doc).m_nElements = count;
        DocFields(doc).m_dMaxPhase = 6.0;
        DocFields(doc).m_phase.clear();
        for (int i = 0; i < count; ++i) {
            DocFields(doc).m_phase.push_back(i / 100.0);
        }
        // A table for 10 digits: 512 rising codes.
        std::string table;
        for (int j = 0; j < 512; ++j) {
            table += std::to_string(j / 2 + 100) + "\n";
        }
        TempDir::Write(TablePath(), table);
        DocFields(doc).m_nDacDigits = 10;
        DocFields(doc).m_bUseCorrection = correction ? 1 : 0;
        DocFields(doc).m_strCorrectionPath = TablePath();
        const std::string path = dir.File(name);
        EXPECT_TRUE(doc.OnSaveDocument(path));
        return path;
    }

    std::string TablePath() const { return dir.File("lc-10bit.txt"); }

    // `tessaron --print-pdf` in this process; returns the exit status.
    int PrintPdf(const std::string& profile, const std::string& pdf) {
        const AppOptions options = ParseCommandLine(
            {"--settings", QString::fromStdString(dir.File("tessaron.ini")), "--print-pdf",
             QString::fromStdString(profile), QString::fromStdString(pdf)});
        CTessaronApp app(options, &prompter);
        EXPECT_FALSE(app.InitInstance());
        return app.ExitCode();
    }

    TempDir dir;
    FakePrompter prompter;
};

TEST_F(PrintReportTest, DateLineReadsHoursMinutesDayMonthAndYear) {
    std::tm when{};
    when.tm_hour = 14;
    when.tm_min = 5;
    when.tm_mday = 5;
    when.tm_mon = 11;
    when.tm_year = 126;
    EXPECT_EQ(CTessaronView::ReportDateLine(when), "today is: 14:05, 05 December, 2026");
}

TEST(PrintCommandLineTest, PrintRequestsNameTheirFilesPrinterAndPdf) {
    struct Case {
        QStringList args;
        QStringList documents;
        QString printer;
        QString pdf;
        bool error;
    };
    const Case cases[] = {
        {{"/p", "a.lcp"}, {"a.lcp"}, "", "", false},
        {{"/PT", "a.lcp", "Lab", "driver", "port", "b.lcp"}, {"a.lcp", "b.lcp"}, "Lab", "", false},
        {{"/pt", "a.lcp", "Lab", "--simulate"}, {"a.lcp"}, "Lab", "", false},
        {{"--print-pdf", "a.lcp", "a.pdf"}, {"a.lcp"}, "", "a.pdf", false},
        {{"/p"}, {}, "", "", true},
        {{"/pt", "a.lcp"}, {}, "", "", true},
        {{"--print-pdf", "a.lcp"}, {}, "", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const AppOptions options = ParseCommandLine(c.args);
        EXPECT_EQ(!options.error.isEmpty(), c.error);
        if (!c.error) {
            EXPECT_EQ(options.documents, c.documents);
            EXPECT_EQ(options.printerName, c.printer);
            EXPECT_EQ(options.printPdf, c.pdf);
            EXPECT_EQ(options.printDirect, c.pdf.isEmpty());
        }
    }
}

TEST_F(PrintReportTest, PdfCarriesTheHeadingAndEveryValueFourToALine) {
    struct Case {
        int values;
        bool correction;
    };
    for (const Case c : {Case{10, false}, Case{512, true}, Case{0, false}}) {
        SCOPED_TRACE(c.values);
        const std::string pdf = dir.File("report.pdf");
        const std::time_t before = std::time(nullptr);
        ASSERT_EQ(PrintPdf(SaveProfile("lens.lcp", c.values, c.correction), pdf), 0);
        const std::vector<Page> pages = ReadPdf(pdf);
        ASSERT_FALSE(pages.empty());

        // The heading, on page 1 only; the date within the run.
        const QStringList& head = pages[0].lines;
        ASSERT_GE(head.size(), 5);
        bool dated = false;
        for (std::time_t t = before - before % 60; t <= std::time(nullptr); t += 60) {
            std::tm local{};
            localtime_r(&t, &local);
            dated =
                dated || head[0] == QString::fromStdString(CTessaronView::ReportDateLine(local));
        }
        EXPECT_TRUE(dated) << head[0].toStdString();
        EXPECT_EQ(head[1], "File title: lens.lcp");
        EXPECT_EQ(head[2], "Profile graphic:");
        EXPECT_EQ(
            head.filter("Correction table: \"" + QString::fromStdString(TablePath()) + "\"").size(),
            c.correction ? 1 : 0);
        EXPECT_EQ(head.filter(QRegularExpression("^Maximum phase: 6\\.000e\\+000; Number of "
                                                 "elements: " +
                                                 QString::number(c.values) +
                                                 "; Aperture: \\d\\.\\d{3}e[+-]\\d{3}$"))
                      .size(),
                  1);
        EXPECT_EQ(head.filter("Elements of data:").size(), 1);
        for (std::size_t p = 1; p < pages.size(); ++p) {
            EXPECT_EQ(pages[p].lines.filter("today is:").size(), 0);
        }

        // Every value once, in order; each later page starts a line of four.
        int next = 0;
        for (std::size_t p = 0; p < pages.size(); ++p) {
            ASSERT_FALSE(p > 0 && pages[p].indices.empty()) << "empty page " << p + 1;
            for (int index : pages[p].indices) {
                EXPECT_EQ(index, next++);
            }
            if (p > 0) {
                EXPECT_EQ(pages[p].indices.front() % 4, 0);
            }
        }
        EXPECT_EQ(next, c.values);
        EXPECT_EQ(pages.size() > 1, c.values == 512);
        if (c.values == 10) {
            const QStringList data = head.filter(QRegularExpression("^\\d{3}: "));
            ASSERT_EQ(data.size(), 3);
            EXPECT_TRUE(data[0].startsWith("000: 0.000000e+000, 001: 1.000000e-002,"));
            EXPECT_TRUE(data[1].startsWith("004: "));
            EXPECT_EQ(data[2], "008: 8.000000e-002, 009: 9.000000e-002");
        }
    }
}

TEST_F(PrintReportTest, CommandLineFailuresKeepTheOldPdfAndEndWithAnError) {
    const std::string pdf = dir.File("old.pdf");
    TempDir::Write(pdf, "earlier report");
    TempDir::Write(dir.File("broken.lcp"), "not a profile");
    const std::string cases[] = {dir.File("broken.lcp"), dir.File("missing.lcp"),
                                 std::string(TESSARON_TEST_DATA "/volt-example.vf")};
    prompter.ExpectMessages();
    for (const std::string& profile : cases) {
        SCOPED_TRACE(profile);
        prompter.shown.clear();
        EXPECT_EQ(PrintPdf(profile, pdf), 1);
        EXPECT_EQ(TempDir::Read(pdf), "earlier report");
        EXPECT_FALSE(prompter.shown.empty());
    }
    // A folder that cannot take the file.
    prompter.shown.clear();
    EXPECT_EQ(PrintPdf(SaveProfile("lens.lcp", 4, false), dir.File("none/report.pdf")), 1);
    EXPECT_FALSE(prompter.shown.empty());
}

// Every way a report reaches a PDF file (the command line, the print dialog's file, the
// preview's print button) reports a write that fails, says why, and keeps the old file as it
// was: on a disk that fills up part way, on /dev/full, and on a real full file system.
TEST_F(PrintReportTest, AFailedPdfWriteKeepsTheOldFileAndSaysWhy) {
    const std::string profile = SaveProfile("lens.lcp", 512, false);
    const std::string folder = dir.File("out");
    const ScratchMount full(folder, "size=24k");
    if (!full.Mounted()) {
        std::filesystem::create_directory(folder);
    }
    const std::string pdf = folder + "/report.pdf";
    const std::string old(8000, 'o'); // an earlier report, which fits
    TempDir::Write(pdf, old);

    AppOptions options;
    options.settingsPath = dir.File("tessaron.ini");
    options.documents << QString::fromStdString(profile);
    CTessaronApp app(options, &prompter);
    ASSERT_TRUE(app.InitInstance());
    QPrinter& printer = app.Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    app.SetPrintDialog([](QPrinter&) { return true; });
    auto& view = *qobject_cast<CTessaronView*>(app.MainFrame()->ActiveChildFrame()->widget());
    const auto previewPrint = [&] {
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->findChild<QPrintPreviewWidget*>()->print();
            dialog->reject();
        });
        app.PrintView(view, PrintCommand::Preview);
    };
    const std::function<void()> runs[] = {
        [&] { EXPECT_EQ(PrintPdf(profile, pdf), 1); },
        [&] { EXPECT_FALSE(app.PrintView(view, PrintCommand::Dialog)); },
        previewPrint,
    };
    prompter.ExpectMessages();
    const auto expectRefused = [&](const std::string& target, const std::string& reason) {
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].text, "Cannot write to \"" + target + "\".");
        EXPECT_EQ(prompter.shown[0].detail, reason);
        EXPECT_EQ(TempDir::Read(pdf), old);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
        prompter.shown.clear();
    };
    for (std::size_t run = 0; run < std::size(runs); ++run) {
        SCOPED_TRACE(run);
        for (const std::size_t budget : {std::size_t{0}, std::size_t{5000}}) {
            const FailingWrites failing(budget, ENOSPC);
            runs[run]();
            expectRefused(pdf, "No space left on device");
        }
        if (full.Mounted()) {
            runs[run]();
            expectRefused(pdf, "No space left on device");
        }
    }
    EXPECT_EQ(PrintPdf(profile, "/dev/full"), 1);
    expectRefused("/dev/full", "No space left on device");
    if (!full.Mounted()) {
        GTEST_SKIP() << "written with failures put in; no tmpfs could be mounted for a real one";
    }
}

TEST_F(PrintReportTest, PrintCommandAndPreviewShowTheSamePagesAsThePdf) {
    const std::string profile = SaveProfile("lens.lcp", 512, false);
    const std::string pdf = dir.File("cli.pdf");
    ASSERT_EQ(PrintPdf(profile, pdf), 0);
    const std::vector<Page> expected = ReadPdf(pdf);

    AppOptions options;
    options.settingsPath = dir.File("tessaron.ini");
    options.documents << QString::fromStdString(profile);
    CTessaronApp app(options, &prompter);
    ASSERT_TRUE(app.InitInstance());
    CMainFrame& frame = *app.MainFrame();
    QPrinter& printer = app.Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(600);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));

    // "Print...": the dialog chooses a file and the pages 2 to 3.
    const std::string printed = dir.File("printed.pdf");
    app.SetPrintDialog([&](QPrinter& target) {
        target.setOutputFileName(QString::fromStdString(printed));
        target.setPrintRange(QPrinter::PageRange);
        target.setFromTo(2, 3);
        return true;
    });
    frame.UpdateCommandStates();
    frame.Action(ID_FILE_PRINT)->trigger();
    const std::vector<Page> range = ReadPdf(printed);
    ASSERT_EQ(range.size(), 2u);
    EXPECT_EQ(range[0].indices, expected[1].indices);
    EXPECT_EQ(range[1].indices, expected[2].indices);
    // Pages beyond the last one: said, not reported as printed.
    app.SetPrintDialog([](QPrinter& target) {
        target.setFromTo(4, 5);
        return true;
    });
    prompter.ExpectMessages();
    EXPECT_FALSE(app.PrintView(*qobject_cast<CTessaronView*>(frame.ActiveChildFrame()->widget()),
                               PrintCommand::Dialog));
    EXPECT_EQ(prompter.shown.size(), 1u);

    // The preview: as many pages as the PDF; its own print button prints them all.
    int previewPages = -1;
    const std::string previewed = dir.File("previewed.pdf");
    // (The range of the last print, 4 to 5, does not limit what the preview prints.)
    printer.setOutputFileName(QString::fromStdString(previewed));
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        previewPages = preview->pageCount();
        // Large enough to read: most of the screen, the pages as wide as the window.
        const QRect screen = dialog->screen()->availableGeometry();
        EXPECT_GE(dialog->width() * 10, screen.width() * 8);
        EXPECT_GE(dialog->height() * 10, screen.height() * 8);
        EXPECT_TRUE(screen.contains(dialog->frameGeometry()));
        EXPECT_EQ(preview->zoomMode(), QPrintPreviewWidget::FitToWidth);
        preview->setViewMode(QPrintPreviewWidget::FacingPagesView);
        preview->print();
        dialog->reject();
    });
    frame.Action(ID_FILE_PRINT_PREVIEW)->trigger();
    EXPECT_EQ(previewPages, static_cast<int>(expected.size()));
    const std::vector<Page> fromPreview = ReadPdf(previewed);
    ASSERT_EQ(fromPreview.size(), expected.size());
    for (std::size_t p = 0; p < expected.size(); ++p) {
        EXPECT_EQ(fromPreview[p].indices, expected[p].indices);
    }
    EXPECT_EQ(app.Settings().GetInt("Settings", "PreviewPages", 0), 2);
}

} // namespace
