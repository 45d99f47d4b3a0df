#include "shell/TessaronApp.h"

#include "ControllerSimulator.h"
#include "LcResponder.h"
#include "comm/LC_Protocol.h"
#include "framework/AppPaths.h"
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"
#include "profile_ui/ProfileTemplate.h"
#include "shell/AboutDlg.h"
#include "shell/HelpWindow.h"
#include "shell/MainFrame.h"
#include "shell/Registration.h"
#include "ui/DocTemplate.h"
#include "ui/DocumentFrame.h"
#include "ui/PrintJob.h"
#include "ui/QtPrompter.h"
#include "volt_ui/VoltTemplate.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QListWidget>
#include <QMdiArea>
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
    // The windows go first, while the documents their views refer to are still there. The
    // main frame stops the worker before anything the worker may still call goes, and before
    // the simulator it may be talking to.
    m_mainFrame.reset();
    m_documents.clear();
}

// The noise of the simulated liquid crystal's readings (--simulate-phases), radians: about
// what an interferometer's phase step reading scatters by on the bench.
constexpr double kSimulatedNoise = 0.005;

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
        auto protocol = std::make_unique<CLC_Protocol>(*m_settings, *m_mainFrame);
        if (m_options.simulate) {
            // A controller on a pseudo-terminal inside the program, answering as fast as the
            // configured speed would carry the bytes; this run's link goes to it.
            m_simulator = std::make_unique<ControllerSimulator>();
            m_simulator->SetPace(
                BaudFromIndex(m_settings->GetInt(settings::kSection, settings::kComSpeed, 0))
                    .value_or(0));
            m_simulator->SetRecordFile(m_options.simulateRecord);
            if (!m_options.simulatePhases.empty()) {
                m_liquidCrystal =
                    std::make_unique<LcResponder>(calibration::LiquidCrystalModel{}, 633e-9,
                                                  kSimulatedNoise, 1, m_options.simulatePhases);
                m_simulator->SetLoadListener(
                    [lc = m_liquidCrystal.get()](const ControllerSimulator::Command& command) {
                        return lc->OnLoad(command);
                    });
            }
            m_simulator->Start();
            LinkOverrides overrides;
            overrides.device = m_simulator->SlavePath();
            protocol->SetOverrides(overrides);
        }
        m_mainFrame->AttachWorker(std::move(protocol));
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
    // The profile comes first: File New offers it first and it opens files of no known type.
    m_templates.push_back(MakeProfileTemplate());
    m_templates.push_back(MakeVoltTemplate());
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
    connect(frame, &DocumentFrame::commandStatesChanged, this, [this] {
        if (m_mainFrame) {
            m_mainFrame->UpdateCommandStates();
        }
    });
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
    const Document* document = forActiveWindow ? ActiveDocument() : nullptr;
    const DocTemplate* type = document != nullptr ? TemplateOf(*document) : nullptr;
    ShowHelp(m_mainFrame.get(), type != nullptr ? type->HelpTopic() : QString());
}
