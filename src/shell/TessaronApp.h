// The application object of the window program: the settings file, the document types, the
// main frame and the communication worker, the open documents and the command line.
//
// The command line is read in CommandLineOptions.cpp, printing is in AppPrinting.cpp.
#pragma once

#include "framework/Document.h"
#include "shell/CommandLineOptions.h"
#include "shell/RecentFileList.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CMainFrame;
class DocumentFrame;
class ControllerSimulator;
class LcResponder;
class DeferringPrompter;
class DocTemplate;
class Prompter;
class PrintableView;
struct PdfSetup;
struct PrintResult;
class QPrinter;
class QtPrompter;
class SettingsStore;

// How a view's report is to be printed.
enum class PrintCommand {
    Dialog,  // "&Print...": the print dialog first
    Direct,  // on the current printer without a dialog
    Preview, // "Print Pre&view"
};

class CTessaronApp : public QObject {
    Q_OBJECT

public:
    // What the documents and tool windows get of the program: settings, messages, the link.
    AppContext& Context() { return *m_context; }
    // `prompter` replaces the window program's message boxes and file dialogs (tests);
    // null uses the real ones.
    explicit CTessaronApp(AppOptions options, Prompter* prompter = nullptr);
    ~CTessaronApp() override;

    // Start-up: settings, document types, main frame, worker, layout, command line. False
    // when the program is not to run (the command line asked only to unregister).
    bool InitInstance();

    SettingsStore& Settings() const { return *m_settings; }
    Prompter& GetPrompter() const { return *m_prompter; }
    CMainFrame* MainFrame() const { return m_mainFrame.get(); }
    ControllerSimulator* Simulator() const { return m_simulator.get(); }
    RecentFileList& RecentFiles() { return m_recentFiles; }
    const std::vector<std::unique_ptr<DocTemplate>>& Templates() const { return m_templates; }

    // The open documents, in the order they were opened.
    std::vector<Document*> Documents() const;
    const DocTemplate* TemplateOf(const Document& document) const;
    std::vector<DocumentFrame*> FramesOf(const Document& document) const;
    Document* ActiveDocument() const;

    // File commands.
    Document* OnFileNew();
    Document* NewDocument(DocTemplate& type);
    void OnFileOpen();
    // Opens a file (or shows the window of a document that already has it open); null when
    // it cannot be opened, after the document's message.
    Document* OpenDocumentFile(const QString& path);
    void OnOpenRecentFile(int index);
    void OnFileSave(bool saveAs);
    void OnFileClose();
    void OnFilePrintSetup();
    // "&Print..." and "Print Pre&view": the report of the active window's view, when it has
    // one; false when nothing was printed.
    bool OnFilePrint(PrintCommand command);
    // The active window's view when it prints a report, else null.
    PrintableView* ActivePrintableView() const;
    // Prints a view's report; false when nothing was printed (cancelled or failed, after the
    // failure's message).
    bool PrintView(PrintableView& view, PrintCommand command);
    // Prints a view's report into a PDF file on A4 paper; the file is replaced only when the
    // whole report has been written, every byte checked.
    bool PrintToPdf(PrintableView& view, const QString& path);
    // The printer that Print Setup, the print dialog and the preview share.
    QPrinter& Printer();
    // Replaces the print dialog (tests): it may change the printer and returns whether to print.
    void SetPrintDialog(std::function<bool(QPrinter&)> dialog) {
        m_printDialog = std::move(dialog);
    }
    // The program's exit status when InitInstance returned false: not 0 when printing from
    // the command line failed.
    int ExitCode() const { return m_exitCode; }
    void OnWindowNew();
    void OnAppAbout();
    // The user guide: at its contents, or for F1 where it speaks of the active window.
    void OnHelp(bool forActiveWindow);

    // Asks every document with changes whether to save them; false when one is cancelled.
    bool SaveAllModified();
    // Closes every document (after SaveAllModified); false when the person kept one open.
    bool CloseAllDocuments();

    // The text the unregister request reports.
    static QString UnregisterReport(bool complete);

private:
    struct OpenDocument;

    void RegisterDocTemplates();
    bool ProcessShellCommand();
    DocumentFrame* CreateFrame(OpenDocument& entry);
    bool CloseDocument(Document& document, bool ask);
    void OnFrameDestroyed(QObject* frame);
    void UpdateFrameTitles(OpenDocument& entry);
    OpenDocument* EntryOf(const Document& document) const;
    bool PrintFromCommandLine();
    // Whether a print run reached its target; says why not when it did not.
    bool CheckPrinted(const PrintResult& result, const QString& target);
    // Writes a view's report as a PDF file (see PrintToPdf); false after the failure's message.
    bool WritePdf(PrintableView& view, const PdfSetup& setup, const QString& path);
    bool IsPrintRun() const { return m_options.printDirect || !m_options.printPdf.isEmpty(); }

    AppOptions m_options;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<QtPrompter> m_qtPrompter;
    Prompter* m_prompter = nullptr;
    // The documents' prompter: holds their notices back while the command line's files open.
    std::unique_ptr<DeferringPrompter> m_notices;
    RecentFileList m_recentFiles;
    std::vector<std::unique_ptr<DocTemplate>> m_templates;
    std::unique_ptr<AppContext> m_context;
    // The simulator's liquid crystal (--simulate-phases), called on the simulator's thread;
    // declared first, so that it outlives the simulator.
    std::unique_ptr<LcResponder> m_liquidCrystal;
    std::unique_ptr<ControllerSimulator> m_simulator;
    std::unique_ptr<CMainFrame> m_mainFrame;
    std::vector<std::unique_ptr<OpenDocument>> m_documents;
    std::unique_ptr<QPrinter> m_printer;
    std::function<bool(QPrinter&)> m_printDialog;
    int m_exitCode = 0;
    bool m_bClosingAll = false;
};
