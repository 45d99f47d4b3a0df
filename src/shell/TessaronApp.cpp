#include "shell/TessaronApp.h"

#include "ControllerSimulator.h"
#include "comm/LC_Protocol.h"
#include "framework/AppPaths.h"
#include "framework/Prompter.h"
#include "framework/SafeFile.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"
#include "profile/TessaronDoc.h"
#include "profile_ui/ChildFrame.h"
#include "profile_ui/TessaronView.h"
#include "shell/AboutDlg.h"
#include "shell/HelpWindow.h"
#include "shell/MainFrame.h"
#include "shell/Registration.h"
#include "ui/CommandIds.h"
#include "ui/DocTemplate.h"
#include "ui/DocumentFrame.h"
#include "ui/Icons.h"
#include "ui/PrintJob.h"
#include "ui/QtPrompter.h"
#include "volt/LC_VoltDoc.h"
#include "volt_ui/TessaronVoltView.h"
#include "volt_ui/VoltChildFrame.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QListWidget>
#include <QMdiArea>
#include <QPageSetupDialog>
#include <QPaintEngine>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QVBoxLayout>
#include <iostream>

struct CTessaronApp::OpenDocument {
    std::unique_ptr<Document> document;
    DocTemplate* type = nullptr;
    // The document's windows. Each is known by its QObject identity too, taken while it was
    // whole, because the destroyed signal arrives when it is a DocumentFrame no more.
    struct Frame {
        const QObject* identity;
        QPointer<DocumentFrame> frame;
    };
    std::vector<Frame> frames;
};

namespace {
// The pixels of a PDF page: the graph's labels and lines are sized in them, like on a
// laser printer of that resolution.
constexpr int kPdfResolution = 600;
} // namespace

AppOptions ParseCommandLine(const QStringList& arguments) {
    AppOptions options;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const QString lower = arg.toLower();
        if (lower == "/unregister" || lower == "/unregserver" || lower == "-unregister" ||
            lower == "-unregserver") {
            options.unregister = true;
        } else if (lower == "/p" || lower == "-p" || lower == "/pt" || lower == "-pt") {
            // The desktop's print requests: the file, and for /pt the printer (its driver and
            // port, which follow, mean nothing here).
            const bool to = lower.endsWith("t");
            if (i + (to ? 2 : 1) >= arguments.size()) {
                options.error = arg + (to ? " needs a file and a printer" : " needs a file");
                return options;
            }
            options.printDirect = true;
            options.documents << arguments[++i];
            if (to) {
                options.printerName = arguments[++i];
                for (int extra = 0;
                     extra < 2 && i + 1 < arguments.size() && !arguments[i + 1].startsWith("-");
                     ++extra) {
                    ++i;
                }
            }
        } else if (arg == "--print-pdf") {
            if (i + 2 >= arguments.size()) {
                options.error = arg + " needs a profile and a PDF file";
                return options;
            }
            options.documents << arguments[i + 1];
            options.printPdf = arguments[i + 2];
            i += 2;
        } else if (arg == "--simulate") {
            options.simulate = true;
        } else if (arg == "--settings" || arg == "--simulate-record") {
            if (i + 1 >= arguments.size()) {
                options.error = arg + " needs a path";
                return options;
            }
            const std::string value = arguments[++i].toStdString();
            (arg == "--settings" ? options.settingsPath : options.simulateRecord) = value;
            if (arg == "--simulate-record") {
                options.simulate = true;
            }
        } else if (arg.startsWith("--")) {
            options.error = "unknown option " + arg;
            return options;
        } else {
            options.documents << arg;
        }
    }
    return options;
}

CTessaronApp::CTessaronApp(AppOptions options, Prompter* prompter)
    : m_options(std::move(options)),
      m_settings(std::make_unique<SettingsStore>(m_options.settingsPath.empty()
                                                     ? apppaths::DefaultSettingsPath()
                                                     : m_options.settingsPath)),
      m_recentFiles(*m_settings) {
    if (prompter != nullptr) {
        m_prompter = prompter;
    } else {
        m_qtPrompter = std::make_unique<QtPrompter>();
        m_prompter = m_qtPrompter.get();
    }
    m_notices = std::make_unique<DeferringPrompter>(*m_prompter);
}

CTessaronApp::~CTessaronApp() {
    // The windows go first: their views still refer to the documents, and the frame's end
    // stops the worker before the simulator it may talk to goes away.
    if (m_mainFrame) {
        m_mainFrame->m_pProtocol = nullptr;
        m_protocol.reset();
    }
    m_mainFrame.reset();
    m_documents.clear();
}

bool CTessaronApp::InitInstance() {
    m_recentFiles.ReadList();
    RegisterDocTemplates();

    m_mainFrame = std::make_unique<CMainFrame>(*this, *m_settings, *m_prompter);
    if (m_qtPrompter) {
        m_qtPrompter->SetParentWidget(m_mainFrame.get());
    }
    m_context =
        std::make_unique<AppContext>(AppContext{*m_settings, *m_notices, m_mainFrame.get()});

    if (!m_options.unregister && !IsPrintRun()) {
        m_protocol = std::make_unique<CLC_Protocol>(*m_settings, *m_mainFrame);
        if (m_options.simulate) {
            // A controller on a pseudo-terminal inside the program, answering as fast as the
            // configured speed would carry the bytes; this run's link goes to it.
            m_simulator = std::make_unique<ControllerSimulator>();
            m_simulator->SetPace(
                BaudFromIndex(m_settings->GetInt("Settings", "COM_Speed", 0)).value_or(0));
            m_simulator->SetRecordFile(m_options.simulateRecord);
            m_simulator->Start();
            LinkOverrides overrides;
            overrides.device = m_simulator->SlavePath();
            m_protocol->SetOverrides(overrides);
        }
        m_mainFrame->m_pProtocol = m_protocol.get();
        m_protocol->Start();
    }

    m_mainFrame->RestoreLayout();
    if (!ProcessShellCommand()) {
        return false;
    }
    m_mainFrame->show();
    m_mainFrame->UpdateCommandStates();
    // What went wrong with the command line's files, over the window with the ones that opened.
    m_notices->Release();
    return true;
}

void CTessaronApp::RegisterDocTemplates() {
    // Each document type: its menu resource, type string, document, and windows with view.
    // The profile comes first: File New offers it first and it opens files of no known type.
    auto profile = std::make_unique<DocTemplate>(
        IDR_PROFILE_TYPE,
        "\nProfile\nLC Profile\nLC Profile files(*.lcp)\n.lcp\nTessaron.Document\nTessaron "
        "Document",
        [](AppContext& context) { return std::make_unique<CTessaronDoc>(context); },
        [this](Document& document, QMdiArea& workspace) -> DocumentFrame* {
            auto* frame = new CChildFrame(document);
            auto* view = new CTessaronView(static_cast<CTessaronDoc&>(document), frame);
            frame->setWidget(view);
            workspace.addSubWindow(frame);
            view->OnInitialUpdate();
            // "Edit Data" follows the selection of the view's data list.
            connect(view, &CTessaronView::editDataStateChanged, this, [this] {
                if (m_mainFrame) {
                    m_mainFrame->UpdateCommandStates();
                }
            });
            return frame;
        });
    // The view of the active window, when it is a profile form of `document`.
    auto activeView = [this](Document& document) -> CTessaronView* {
        DocumentFrame* frame = m_mainFrame ? m_mainFrame->ActiveChildFrame() : nullptr;
        if (frame == nullptr || &frame->GetDocument() != &document) {
            return nullptr;
        }
        return qobject_cast<CTessaronView*>(frame->widget());
    };
    profile->SetCommandHandlers(
        [this, activeView](Document& document, int id) {
            auto& doc = static_cast<CTessaronDoc&>(document);
            switch (id) {
            case ID_CONTROLLER_SEND:
                return doc.OnSend();
            case ID_EDIT_DATA:
                if (CTessaronView* view = activeView(document)) {
                    view->OnEditData();
                    return true;
                }
                return false;
            case ID_EDIT_CLEAR_ALL:
                doc.OnClearData();
                return true;
            case ID_FILE_PRINT:
            case ID_FILE_PRINT_PREVIEW:
                if (CTessaronView* view = activeView(document)) {
                    return PrintView(*view, id == ID_FILE_PRINT ? PrintCommand::Dialog
                                                                : PrintCommand::Preview);
                }
                return false;
            default:
                return false;
            }
        },
        [activeView](Document& document, int id) -> std::optional<CommandState> {
            switch (id) {
            case ID_CONTROLLER_SEND:
                return static_cast<CTessaronDoc&>(document).OnUpdateSend();
            case ID_EDIT_DATA: {
                const CTessaronView* view = activeView(document);
                return CommandState{view != nullptr && view->CanEditData(), false};
            }
            case ID_EDIT_CLEAR_ALL:
                return CommandState{true, false};
            case ID_FILE_PRINT:
            case ID_FILE_PRINT_PREVIEW:
                return CommandState{activeView(document) != nullptr, false};
            default:
                return std::nullopt;
            }
        });
    profile->SetIcon(ProfileDocIcon());
    m_templates.push_back(std::move(profile));

    auto volt = std::make_unique<DocTemplate>(
        IDR_VOLT_TYPE,
        "\nVoltPhase\nVolt-Phase\nVolt-Phase files(*.vf)\n.vf\nTessaron.Document2\nTessaron "
        "Document2",
        [](AppContext& context) { return std::make_unique<CLC_VoltDoc>(context); },
        [](Document& document, QMdiArea& workspace) -> DocumentFrame* {
            auto* frame = new CVoltChildFrame(document);
            auto* view = new CTessaronVoltView(static_cast<CLC_VoltDoc&>(document), frame);
            frame->setWidget(view);
            workspace.addSubWindow(frame);
            view->OnInitialUpdate();
            return frame;
        });
    volt->SetCommandHandlers(
        [](Document& document, int id) {
            return id == ID_CONTROLLER_SEND && static_cast<CLC_VoltDoc&>(document).OnSend();
        },
        [](Document& document, int id) -> std::optional<CommandState> {
            if (id == ID_CONTROLLER_SEND) {
                return static_cast<CLC_VoltDoc&>(document).OnUpdateSend();
            }
            return std::nullopt;
        });
    volt->SetIcon(VoltDocIcon());
    m_templates.push_back(std::move(volt));
}

bool CTessaronApp::ProcessShellCommand() {
    if (m_options.unregister) {
        const CleanUpResult result =
            CleanUpRegistration(UserRegistrationPaths(), m_settings->Path());
        const QString report = UnregisterReport(result.complete);
        std::cout << report.toStdString() << std::endl;
        // Without a screen nobody could close a message box; the printed report is enough.
        const QString platform = QGuiApplication::platformName();
        if (m_qtPrompter == nullptr || (platform != "offscreen" && platform != "minimal")) {
            m_prompter->MessageBox(report.toStdString(),
                                   result.complete ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
        }
        return false;
    }
    if (IsPrintRun()) {
        m_exitCode = PrintFromCommandLine() ? 0 : 1;
        return false;
    }
    // A file that does not open must not keep the ones after it waiting behind its message:
    // the messages follow once every file has been tried, and the program starts all the same.
    m_notices->Hold();
    for (const QString& path : m_options.documents) {
        OpenDocumentFile(path);
    }
    return true;
}

QString CTessaronApp::UnregisterReport(bool complete) {
    return complete ? "System registry entries have been removed and the INI file (if any) was "
                      "deleted."
                    : "Not all of the desktop registration and settings could be removed.";
}

// ---- documents ----

std::vector<Document*> CTessaronApp::Documents() const {
    std::vector<Document*> documents;
    for (const auto& entry : m_documents) {
        documents.push_back(entry->document.get());
    }
    return documents;
}

CTessaronApp::OpenDocument* CTessaronApp::EntryOf(const Document& document) const {
    for (const auto& entry : m_documents) {
        if (entry->document.get() == &document) {
            return entry.get();
        }
    }
    return nullptr;
}

const DocTemplate* CTessaronApp::TemplateOf(const Document& document) const {
    const OpenDocument* entry = EntryOf(document);
    return entry ? entry->type : nullptr;
}

std::vector<DocumentFrame*> CTessaronApp::FramesOf(const Document& document) const {
    std::vector<DocumentFrame*> frames;
    if (const OpenDocument* entry = EntryOf(document)) {
        for (const auto& window : entry->frames) {
            if (window.frame) {
                frames.push_back(window.frame.data());
            }
        }
    }
    return frames;
}

Document* CTessaronApp::ActiveDocument() const {
    DocumentFrame* frame = m_mainFrame ? m_mainFrame->ActiveChildFrame() : nullptr;
    return frame ? &frame->GetDocument() : nullptr;
}

Document* CTessaronApp::OnFileNew() {
    if (m_templates.size() == 1) {
        return NewDocument(*m_templates.front());
    }
    // More than one type: ask which.
    QDialog dialog(m_mainFrame.get());
    dialog.setWindowTitle("New");
    auto* list = new QListWidget(&dialog);
    for (const auto& type : m_templates) {
        list->addItem(type->GetDocString(DocTemplate::fileNewName));
    }
    list->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0) {
        return nullptr;
    }
    return NewDocument(*m_templates[static_cast<std::size_t>(list->currentRow())]);
}

Document* CTessaronApp::NewDocument(DocTemplate& type) {
    auto entry = std::make_unique<OpenDocument>();
    entry->document = type.CreateDocument(*m_context);
    entry->type = &type;
    if (!entry->document->OnNewDocument()) {
        return nullptr;
    }
    entry->document->SetTitle(type.NextUntitledName().toStdString());
    Document* document = entry->document.get();
    m_documents.push_back(std::move(entry));
    CreateFrame(*m_documents.back());
    return document;
}

void CTessaronApp::OnFileOpen() {
    std::string filter;
    for (const auto& type : m_templates) {
        filter += type->FileFilter().substr(0, type->FileFilter().size() - 1);
    }
    filter += "All Files (*.*)|*||";
    FileDialogRequest request;
    request.filter = filter;
    const auto choice = m_prompter->AskOpenFile(request);
    if (choice) {
        OpenDocumentFile(QString::fromStdString(choice->path));
    }
}

Document* CTessaronApp::OpenDocumentFile(const QString& path) {
    const QFileInfo info(path);
    const std::string fullPath = info.absoluteFilePath().toStdString();
    // A file that is open already: show its window.
    for (const auto& entry : m_documents) {
        if (!entry->document->GetPathName().empty() &&
            QFileInfo(QString::fromStdString(entry->document->GetPathName())) == info) {
            const auto frames = FramesOf(*entry->document);
            if (!frames.empty()) {
                m_mainFrame->MdiArea()->setActiveSubWindow(frames.front());
            }
            return entry->document.get();
        }
    }
    DocTemplate* type = m_templates.front().get();
    for (const auto& candidate : m_templates) {
        if (candidate->MatchesPath(path)) {
            type = candidate.get();
            break;
        }
    }
    auto entry = std::make_unique<OpenDocument>();
    entry->document = type->CreateDocument(*m_context);
    entry->type = type;
    if (!entry->document->OnOpenDocument(fullPath)) {
        m_recentFiles.Remove(fullPath);
        m_mainFrame->UpdateRecentFileMenu();
        return nullptr;
    }
    Document* document = entry->document.get();
    m_documents.push_back(std::move(entry));
    CreateFrame(*m_documents.back());
    m_recentFiles.Add(fullPath);
    m_mainFrame->UpdateRecentFileMenu();
    return document;
}

void CTessaronApp::OnOpenRecentFile(int index) {
    const auto& paths = m_recentFiles.Paths();
    if (index >= 0 && index < static_cast<int>(paths.size())) {
        OpenDocumentFile(QString::fromStdString(paths[static_cast<std::size_t>(index)]));
    }
}

DocumentFrame* CTessaronApp::CreateFrame(OpenDocument& entry) {
    DocumentFrame* frame = entry.type->CreateFrame(*entry.document, *m_mainFrame->MdiArea());
    frame->setWindowIcon(entry.type->Icon());
    entry.frames.push_back({static_cast<const QObject*>(frame), frame});
    frame->SetCloseGuard([this](DocumentFrame& closing) {
        if (m_bClosingAll) {
            return true;
        }
        OpenDocument* owner = EntryOf(closing.GetDocument());
        // Only the document's last window asks; the others just close.
        const bool last = owner == nullptr || FramesOf(closing.GetDocument()).size() <= 1;
        return !last || closing.GetDocument().CanCloseFrame();
    });
    connect(frame, &QObject::destroyed, this, &CTessaronApp::OnFrameDestroyed);
    UpdateFrameTitles(entry);
    frame->ActivateFrame();
    m_mainFrame->UpdateCommandStates();
    return frame;
}

void CTessaronApp::UpdateFrameTitles(OpenDocument& entry) {
    const QString title = QString::fromStdString(entry.document->GetTitle());
    std::vector<DocumentFrame*> frames = FramesOf(*entry.document);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        frames[i]->setWindowTitle(frames.size() > 1 ? QString("%1:%2").arg(title).arg(i + 1)
                                                    : title);
    }
    if (m_mainFrame) {
        m_mainFrame->UpdateCommandStates();
    }
}

void CTessaronApp::OnFrameDestroyed(QObject* frame) {
    for (auto it = m_documents.begin(); it != m_documents.end(); ++it) {
        OpenDocument& entry = **it;
        std::erase_if(entry.frames, [frame](const OpenDocument::Frame& window) {
            return window.identity == frame;
        });
        if (entry.frames.empty()) {
            // The document's last window is gone, and with it its last view.
            m_documents.erase(it);
            break;
        }
        if (m_mainFrame) {
            UpdateFrameTitles(entry);
        }
    }
    if (m_mainFrame) {
        m_mainFrame->UpdateCommandStates();
    }
}

void CTessaronApp::OnFileSave(bool saveAs) {
    Document* document = ActiveDocument();
    if (document == nullptr) {
        return;
    }
    const bool saved = saveAs ? document->DoSave({}) : document->DoFileSave();
    if (saved) {
        m_recentFiles.Add(document->GetPathName());
        m_mainFrame->UpdateRecentFileMenu();
        if (OpenDocument* entry = EntryOf(*document)) {
            UpdateFrameTitles(*entry);
        }
    }
}

void CTessaronApp::OnFileClose() {
    if (Document* document = ActiveDocument()) {
        CloseDocument(*document, true);
    }
}

bool CTessaronApp::CloseDocument(Document& document, bool ask) {
    if (ask && !document.CanCloseFrame()) {
        return false;
    }
    const bool wasClosingAll = m_bClosingAll;
    m_bClosingAll = true; // the document has been asked once; its windows just close
    for (DocumentFrame* frame : FramesOf(document)) {
        frame->close();
    }
    m_bClosingAll = wasClosingAll;
    return true;
}

bool CTessaronApp::SaveAllModified() {
    for (const auto& entry : m_documents) {
        if (!entry->document->SaveModified()) {
            return false;
        }
    }
    return true;
}

bool CTessaronApp::CloseAllDocuments() {
    // Every document is asked first; only when none objects does anything close.
    for (const auto& entry : m_documents) {
        if (!entry->document->CanCloseFrame()) {
            return false;
        }
    }
    for (Document* document : Documents()) {
        CloseDocument(*document, false);
    }
    return true;
}

// ---- other commands ----

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
        auto* view = frames.empty() ? nullptr : qobject_cast<CTessaronView*>(frames[0]->widget());
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

void CTessaronApp::OnWindowNew() {
    if (Document* document = ActiveDocument()) {
        if (OpenDocument* entry = EntryOf(*document)) {
            CreateFrame(*entry);
        }
    }
}

void CTessaronApp::OnAppAbout() {
    CAboutDlg about(m_mainFrame.get());
    about.exec();
}

void CTessaronApp::OnHelp(bool forActiveWindow) {
    // F1 opens the guide where it speaks of the active window's kind of document; Help
    // Topics at its contents.
    QString anchor;
    const Document* document = forActiveWindow ? ActiveDocument() : nullptr;
    if (document != nullptr) {
        const DocTemplate* type = TemplateOf(*document);
        if (type != nullptr && type->ResourceId() == IDR_PROFILE_TYPE) {
            anchor = "from-a-lens-to-the-controller";
        } else if (type != nullptr && type->ResourceId() == IDR_VOLT_TYPE) {
            anchor = "volt-phase-calibration-tables";
        }
    }
    ShowHelp(m_mainFrame.get(), anchor);
}
