#include "shell/MainFrame.h"

#include "calibration_ui/CalibrationWindow.h"
#include "comm/LoadRecord.h"
#include "framework/Document.h"
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"
#include "shell/CustomizeSheet.h"
#include "shell/LockIndicators.h"
#include "shell/TessaronApp.h"
#include "ui/CommandIds.h"
#include "ui/DocTemplate.h"
#include "ui/DocumentFrame.h"
#include "ui/Icons.h"
#include "ui/MenuCheckStyle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSessionManager>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolBar>
#include <QWhatsThis>

namespace {

constexpr const char* kWorkspaceSection = "Workspace";
constexpr int kTimerPeriodMs = 200;

// The status bar text and tool tip of a prompt string "status text\ntool tip".
std::pair<QString, QString> SplitPrompt(const QString& prompt) {
    const int lineBreak = prompt.indexOf('\n');
    if (lineBreak < 0) {
        return {prompt, QString()};
    }
    return {prompt.left(lineBreak), prompt.mid(lineBreak + 1)};
}

QString FromId(int id) {
    return QString::fromStdString(LoadString(id));
}

} // namespace

struct CMainFrame::ErrorRequest {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    int answer = IDOK;

    void Answer(int value) {
        {
            std::lock_guard lock(mutex);
            if (done) {
                return;
            }
            answer = value;
            done = true;
        }
        answered.notify_all();
    }
};

CMainFrame::CMainFrame(CTessaronApp& app, SettingsStore& settings, Prompter& prompter)
    : m_app(app), m_settings(settings), m_prompter(prompter) {
    setObjectName("MainFrame");
    setWindowTitle(FromId(IDS_APP_TITLE));
    setWindowIcon(AppIcon());
    setAcceptDrops(true);

    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this] { UpdateCommandStates(); });

    CreateActions();
    m_menuStyle = new MenuCheckStyle;
    m_menuStyle->setParent(this);
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    setDockOptions(dockOptions() | QMainWindow::AnimatedDocks);

    // Edit commands follow the keyboard focus; lock indicators follow the lock keys.
    connect(qApp, &QApplication::focusChanged, this, [this] { UpdateCommandStates(); });
    qApp->installEventFilter(this);
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager& manager) { OnSessionEnd(manager); });
    }
    UpdateCommandStates();
    UpdateLockIndicators();
}

CMainFrame::~CMainFrame() {
    // First of all: the worker may still call this frame, its prompter and the settings.
    StopWorker();
    // The application's signals must not reach a frame that is being taken apart (closing an
    // active window moves the focus).
    QObject::disconnect(qApp, nullptr, this, nullptr);
    m_mdiArea->disconnect(this);
    qApp->removeEventFilter(this);
}

void CMainFrame::AttachWorker(std::unique_ptr<CLC_Protocol> worker) {
    StopWorker();
    {
        std::lock_guard lock(m_errorMutex);
        m_bClosingDown = false;
    }
    m_pProtocol = std::move(worker);
    if (m_pProtocol != nullptr) {
        m_pProtocol->Start();
    }
    UpdateCommandStates();
}

void CMainFrame::StopWorker() {
    AbandonErrorRequests();
    if (m_pProtocol != nullptr) {
        // The worker's last act is taking an open link off line.
        m_pProtocol->Stop();
    }
}

// ---- commands, menus, tool bar, status bar ----

QAction* CMainFrame::AddCommand(int id, const QString& text, const QList<QKeySequence>& keys,
                                const QString& prompt) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setShortcuts(keys);
    const auto [status, tip] = SplitPrompt(prompt);
    if (!status.isEmpty()) {
        action->setStatusTip(status);
        action->setWhatsThis(status);
    }
    QString plain = text.left(text.indexOf('\t') < 0 ? text.size() : text.indexOf('\t'));
    plain.remove('&');
    action->setToolTip(tip.isEmpty() ? plain.remove("...") : tip);
    action->setIcon(ToolbarIcon(id));
    action->setIconVisibleInMenu(false);
    // Accelerators work whether or not the menu that shows the command is in place.
    addAction(action);
    m_actions[id] = action;
    return action;
}

void CMainFrame::CreateActions() {
    using QK = QKeySequence;
    auto route = [this](int id) { return [this, id] { OnRouteCommand(id); }; };

    connect(AddCommand(ID_FILE_NEW, "&New\tCtrl+N", {QK("Ctrl+N")}, "Create a new document\nNew"),
            &QAction::triggered, this, [this] { m_app.OnFileNew(); });
    connect(AddCommand(ID_FILE_OPEN, "&Open...\tCtrl+O", {QK("Ctrl+O")},
                       "Open an existing document\nOpen"),
            &QAction::triggered, this, [this] { m_app.OnFileOpen(); });
    connect(AddCommand(ID_FILE_CLOSE, "&Close", {}, "Close the active document\nClose"),
            &QAction::triggered, this, [this] { m_app.OnFileClose(); });
    connect(
        AddCommand(ID_FILE_SAVE, "&Save\tCtrl+S", {QK("Ctrl+S")}, "Save the active document\nSave"),
        &QAction::triggered, this, [this] { m_app.OnFileSave(false); });
    connect(AddCommand(ID_FILE_SAVE_AS, "Save &As...", {},
                       "Save the active document with a new name\nSave As"),
            &QAction::triggered, this, [this] { m_app.OnFileSave(true); });
    connect(AddCommand(ID_FILE_PRINT, "&Print...\tCtrl+P", {QK("Ctrl+P")},
                       "Print the active document\nPrint"),
            &QAction::triggered, this, route(ID_FILE_PRINT));
    connect(AddCommand(ID_FILE_PRINT_PREVIEW, "Print Pre&view", {},
                       "Display full pages\nPrint Preview"),
            &QAction::triggered, this, route(ID_FILE_PRINT_PREVIEW));
    connect(AddCommand(ID_FILE_PRINT_SETUP, "P&rint Setup...", {},
                       "Change the printer and printing options\nPrint Setup"),
            &QAction::triggered, this, [this] { m_app.OnFilePrintSetup(); });
    connect(AddCommand(ID_APP_EXIT, "E&xit", {}, "Quit the application\nExit"), &QAction::triggered,
            this, &QWidget::close);

    connect(AddCommand(ID_EDIT_DATA, "Edit Data\tCtrl+E", {QK("Ctrl+E")},
                       "Edit the selected value\nEdit Data"),
            &QAction::triggered, this, route(ID_EDIT_DATA));
    connect(AddCommand(ID_EDIT_CLEAR_ALL, "Clear all data", {}, "Clear all data\nClear all data"),
            &QAction::triggered, this, route(ID_EDIT_CLEAR_ALL));
    connect(AddCommand(ID_OPTICAL_CHECK, "&Optical Check...", {},
                       "Show what the profile's codes do to light\nOptical Check"),
            &QAction::triggered, this, route(ID_OPTICAL_CHECK));
    const struct {
        int id;
        const char* text;
        QList<QKeySequence> keys;
        const char* prompt;
    } editCommands[] = {
        {ID_EDIT_UNDO,
         "&Undo\tCtrl+Z",
         {QK("Ctrl+Z"), QK("Alt+Backspace")},
         "Undo the last action\nUndo"},
        {ID_EDIT_CUT,
         "Cu&t\tCtrl+X",
         {QK("Ctrl+X"), QK("Shift+Del")},
         "Cut the selection and put it on the Clipboard\nCut"},
        {ID_EDIT_COPY,
         "&Copy\tCtrl+C",
         {QK("Ctrl+C"), QK("Ctrl+Ins")},
         "Copy the selection and put it on the Clipboard\nCopy"},
        {ID_EDIT_PASTE,
         "&Paste\tCtrl+V",
         {QK("Ctrl+V"), QK("Shift+Ins")},
         "Insert Clipboard contents\nPaste"},
    };
    for (const auto& command : editCommands) {
        QAction* action = AddCommand(command.id, command.text, command.keys, command.prompt);
        // The focused field handles its own standard keys; the command serves the menu and
        // the tool bar.
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, [this, id = command.id] { OnEditCommand(id); });
    }

    QAction* toolBarToggle =
        AddCommand(ID_VIEW_TOOLBAR, "&Toolbar", {}, "Show or hide the toolbar\nToggle ToolBar");
    toolBarToggle->setCheckable(true);
    QAction* statusToggle = AddCommand(ID_VIEW_STATUS_BAR, "&Status Bar", {},
                                       "Show or hide the status bar\nToggle StatusBar");
    statusToggle->setCheckable(true);
    connect(statusToggle, &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });

    connect(AddCommand(ID_CUSTOMIZE, "&Customize...\tAlt+F7", {QK("Alt+F7")},
                       "Customize the toolbar and the program's settings\nCustomize"),
            &QAction::triggered, this, &CMainFrame::OnCustomize);
    connect(AddCommand(ID_TOOLS_CALIBRATION, "Ca&libration...", {},
                       "Measure the liquid crystal's response and make a correction table\n"
                       "Calibration"),
            &QAction::triggered, this, &CMainFrame::OnCalibration);
    QAction* connectAction =
        AddCommand(ID_CONTROLLER_CONNECT, "Connect\tF9", {QK("F9")}, FromId(ID_CONTROLLER_CONNECT));
    connectAction->setCheckable(true);
    connect(connectAction, &QAction::triggered, this, &CMainFrame::OnControllerConnect);
    QAction* sendAction =
        AddCommand(ID_CONTROLLER_SEND, "Send\tF10", {QK("F10")}, FromId(ID_CONTROLLER_SEND));
    sendAction->setCheckable(true);
    connect(sendAction, &QAction::triggered, this, route(ID_CONTROLLER_SEND));
    // Receive has no handler anywhere, so it is never available.
    AddCommand(ID_CONTROLLER_RECEIVE, "Receive\tF11", {QK("F11")}, FromId(ID_CONTROLLER_RECEIVE))
        ->setEnabled(false);

    connect(AddCommand(ID_WINDOW_NEW, "&New Window", {},
                       "Open another window for the active document\nNew Window"),
            &QAction::triggered, this, [this] { m_app.OnWindowNew(); });
    connect(AddCommand(ID_WINDOW_CASCADE, "&Cascade", {},
                       "Arrange windows so they overlap\nCascade Windows"),
            &QAction::triggered, m_mdiArea, &QMdiArea::cascadeSubWindows);
    connect(AddCommand(ID_WINDOW_TILE_HORZ, "&Tile", {},
                       "Arrange windows as non-overlapping tiles\nTile Windows"),
            &QAction::triggered, m_mdiArea, &QMdiArea::tileSubWindows);
    connect(AddCommand(ID_WINDOW_ARRANGE, "&Arrange Icons", {},
                       "Arrange icons at the bottom of the window\nArrange Icons"),
            &QAction::triggered, this, &CMainFrame::OnArrangeIcons);
    connect(AddCommand(ID_NEXT_PANE, "Next Pane", {QK("F6")}, "Switch to the next window pane"),
            &QAction::triggered, m_mdiArea, &QMdiArea::activateNextSubWindow);
    connect(AddCommand(ID_PREV_PANE, "Previous Pane", {QK("Shift+F6")},
                       "Switch back to the previous window pane"),
            &QAction::triggered, m_mdiArea, &QMdiArea::activatePreviousSubWindow);

    connect(AddCommand(ID_HELP_FINDER, "&Help Topics", {}, "List Help topics\nHelp Topics"),
            &QAction::triggered, this, [this] { m_app.OnHelp(false); });
    connect(AddCommand(ID_HELP, "Help", {QK("F1")}, "Display help for the current task"),
            &QAction::triggered, this, [this] { m_app.OnHelp(true); });
    connect(AddCommand(ID_CONTEXT_HELP, "Help", {QK("Shift+F1")},
                       "Display help for clicked buttons, menus and windows\nHelp"),
            &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });
    connect(AddCommand(ID_APP_ABOUT, "&About Tessaron...", {},
                       "Display program information, version number and copyright\nAbout"),
            &QAction::triggered, this, [this] { m_app.OnAppAbout(); });
}

void CMainFrame::CreateMenus() {
    // The recent files, shared by the File menus of all three menu sets.
    for (int i = 0; i < 4; ++i) {
        auto* recent = new QAction(this);
        recent->setData(ID_FILE_MRU_FILE1 + i);
        connect(recent, &QAction::triggered, this, [this, i] { m_app.OnOpenRecentFile(i); });
        m_recentActions.push_back(recent);
    }
    for (int menuId : {IDR_MAINFRAME, IDR_PROFILE_TYPE, IDR_VOLT_TYPE}) {
        m_menus[menuId] = BuildMenus(menuId);
    }
    SwitchMenus(IDR_MAINFRAME);
    UpdateRecentFileMenu();
}

std::vector<QMenu*> CMainFrame::BuildMenus(int menuId) {
    const bool document = menuId != IDR_MAINFRAME;
    auto menu = [this](const char* title, std::initializer_list<int> ids) {
        auto* popup = new QMenu(title, this);
        popup->setStyle(m_menuStyle);
        for (int id : ids) {
            if (id == ID_SEPARATOR) {
                popup->addSeparator();
            } else {
                popup->addAction(Action(id));
            }
        }
        return popup;
    };

    QMenu* file =
        document ? menu("&File",
                        {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS,
                         ID_SEPARATOR, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_FILE_PRINT_SETUP})
                 : menu("&File", {ID_FILE_NEW, ID_FILE_OPEN, ID_SEPARATOR, ID_FILE_PRINT_SETUP});
    QAction* recentSeparator = file->addSeparator();
    for (QAction* recent : m_recentActions) {
        file->addAction(recent);
    }
    m_recentSeparators.push_back(recentSeparator);
    file->addSeparator();
    file->addAction(Action(ID_APP_EXIT));

    std::vector<QMenu*> menus{file};
    if (menuId == IDR_PROFILE_TYPE) {
        menus.push_back(menu("&Edit", {ID_EDIT_DATA, ID_EDIT_CLEAR_ALL, ID_SEPARATOR, ID_EDIT_UNDO,
                                       ID_SEPARATOR, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}));
    } else if (document) {
        menus.push_back(
            menu("&Edit", {ID_EDIT_UNDO, ID_SEPARATOR, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}));
    }
    menus.push_back(menu("&View", {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}));
    if (menuId == IDR_PROFILE_TYPE) {
        menus.push_back(menu("&Tools", {ID_CUSTOMIZE, ID_SEPARATOR, ID_CONTROLLER_CONNECT,
                                        ID_CONTROLLER_SEND, ID_CONTROLLER_RECEIVE, ID_SEPARATOR,
                                        ID_OPTICAL_CHECK, ID_TOOLS_CALIBRATION}));
    } else {
        menus.push_back(
            menu("&Tools", {ID_CUSTOMIZE, ID_SEPARATOR, ID_CONTROLLER_CONNECT, ID_CONTROLLER_SEND,
                            ID_CONTROLLER_RECEIVE, ID_SEPARATOR, ID_TOOLS_CALIBRATION}));
    }
    if (document) {
        menus.push_back(menu(
            "&Window", {ID_WINDOW_NEW, ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE}));
    }
    menus.push_back(menu("&Help", {ID_HELP_FINDER, ID_SEPARATOR, ID_APP_ABOUT}));
    return menus;
}

void CMainFrame::CreateToolBar() {
    m_toolBar = new QToolBar(tr("Default"), this);
    m_toolBar->setObjectName("Default");
    m_toolBar->setIconSize(QSize(16, 15));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    const int buttons[] = {ID_FILE_NEW,           ID_FILE_OPEN,          ID_FILE_SAVE,
                           ID_SEPARATOR,          ID_EDIT_CUT,           ID_EDIT_COPY,
                           ID_EDIT_PASTE,         ID_EDIT_DATA,          ID_EDIT_CLEAR_ALL,
                           ID_SEPARATOR,          ID_CONTROLLER_CONNECT, ID_CONTROLLER_SEND,
                           ID_CONTROLLER_RECEIVE, ID_SEPARATOR,          ID_FILE_PRINT,
                           ID_SEPARATOR,          ID_APP_ABOUT,          ID_CONTEXT_HELP};
    for (int id : buttons) {
        QAction* action = id == ID_SEPARATOR ? nullptr : Action(id);
        m_buttons.push_back(action);
        if (action != nullptr) {
            m_toolBar->addAction(action);
        } else {
            m_toolBar->addSeparator();
        }
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    QAction* toggle = Action(ID_VIEW_TOOLBAR);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, m_toolBar, &QWidget::setVisible);
    connect(m_toolBar, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar");
    const QFontMetrics metrics(bar->font());
    m_loadPane = new QLabel(bar);
    m_loadPane->setObjectName("LastLoad");
    bar->addWidget(m_loadPane);
    m_transferPane = new QLabel(bar);
    m_transferPane->setObjectName(QString::number(ID_INDICATOR_TRANSFER));
    m_transferPane->setMinimumWidth(metrics.horizontalAdvance(FromId(ID_INDICATOR_TRANSFER)) + 8);
    bar->addPermanentWidget(m_transferPane);
    const char* lockTexts[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_lockPanes[i] = new QLabel(bar);
        m_lockPanes[i]->setObjectName(lockTexts[i]);
        m_lockPanes[i]->setMinimumWidth(metrics.horizontalAdvance(lockTexts[i]) + 8);
        m_lockPanes[i]->setAlignment(Qt::AlignCenter);
        bar->addPermanentWidget(m_lockPanes[i]);
    }
    Action(ID_VIEW_STATUS_BAR)->setChecked(true);
    // A menu's or a tool tip's text stands in the message area while it is pointed at; then
    // the area says "Ready" again instead of going blank.
    connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& message) {
        if (message.isEmpty()) {
            bar->showMessage(tr("Ready"));
        }
    });
    bar->showMessage(tr("Ready"));
}

QAction* CMainFrame::Action(int commandId) const {
    const auto found = m_actions.find(commandId);
    return found != m_actions.end() ? found->second : nullptr;
}

QStringList CMainFrame::MenuTitles() const {
    QStringList titles;
    for (QAction* menu : menuBar()->actions()) {
        titles << menu->text();
    }
    return titles;
}

void CMainFrame::SwitchMenus(int menuId) {
    m_menuId = menuId;
    menuBar()->clear();
    for (QMenu* popup : m_menus[menuId]) {
        menuBar()->addMenu(popup);
    }
}

void CMainFrame::UpdateRecentFileMenu() {
    const auto& paths = m_app.RecentFiles().Paths();
    for (std::size_t i = 0; i < m_recentActions.size(); ++i) {
        QAction* action = m_recentActions[i];
        if (i < paths.size()) {
            const QString path = QString::fromStdString(paths[i]);
            QString shown = QDir::toNativeSeparators(path);
            shown.replace('&', "&&");
            action->setText(QString("&%1 %2").arg(i + 1).arg(shown));
            action->setStatusTip("Open this document");
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
    for (QAction* separator : m_recentSeparators) {
        separator->setVisible(!paths.empty());
    }
}

DocumentFrame* CMainFrame::ActiveChildFrame() const {
    return qobject_cast<DocumentFrame*>(m_mdiArea->activeSubWindow());
}

void CMainFrame::UpdateCommandStates() {
    DocumentFrame* frame = ActiveChildFrame();
    const DocTemplate* type = frame ? m_app.TemplateOf(frame->GetDocument()) : nullptr;
    const int menuId = type ? type->ResourceId() : static_cast<int>(IDR_MAINFRAME);
    if (menuId != m_menuId) {
        SwitchMenus(menuId);
    }

    QAction* connectAction = Action(ID_CONTROLLER_CONNECT);
    connectAction->setEnabled(!m_bBusy);
    connectAction->setChecked(!m_bBusy && IsLinkOpen());

    // Commands of the active document: what its type's command table says, else unavailable.
    for (int id : std::initializer_list<int>{ID_CONTROLLER_SEND, ID_EDIT_DATA, ID_EDIT_CLEAR_ALL,
                                             ID_OPTICAL_CHECK}) {
        const std::optional<CommandState> state =
            type ? type->OnUpdateCommand(*frame, id) : std::nullopt;
        Action(id)->setEnabled(state && state->enabled);
        Action(id)->setChecked(state && state->checked);
    }
    // Any view with a printed report prints it.
    const bool printable = m_app.ActivePrintableView() != nullptr;
    Action(ID_FILE_PRINT)->setEnabled(printable);
    Action(ID_FILE_PRINT_PREVIEW)->setEnabled(printable);
    for (int id : std::initializer_list<int>{ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS,
                                             ID_WINDOW_NEW, ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ,
                                             ID_WINDOW_ARRANGE, ID_NEXT_PANE, ID_PREV_PANE}) {
        Action(id)->setEnabled(frame != nullptr);
    }

    // The edit commands act on the focused text field.
    QWidget* focus = QApplication::focusWidget();
    auto* line = qobject_cast<QLineEdit*>(focus);
    auto* text = qobject_cast<QTextEdit*>(focus);
    auto* plain = qobject_cast<QPlainTextEdit*>(focus);
    const bool selection = (line && line->hasSelectedText()) ||
                           (text && text->textCursor().hasSelection()) ||
                           (plain && plain->textCursor().hasSelection());
    const bool editable = (line && !line->isReadOnly()) || (text && !text->isReadOnly()) ||
                          (plain && !plain->isReadOnly());
    Action(ID_EDIT_COPY)->setEnabled(selection);
    Action(ID_EDIT_CUT)->setEnabled(selection && editable);
    Action(ID_EDIT_PASTE)->setEnabled(editable);
    Action(ID_EDIT_UNDO)
        ->setEnabled((line && line->isUndoAvailable()) ||
                     (text && text->document()->isUndoAvailable()) ||
                     (plain && plain->document()->isUndoAvailable()));

    // The transfer pane shows its text only while busy.
    if (!m_bBusy) {
        m_transferPane->clear();
    }
    UpdateWindowTitle();
}

void CMainFrame::UpdateWindowTitle() {
    const QString app = FromId(IDS_APP_TITLE);
    const DocumentFrame* frame = ActiveChildFrame();
    // The active document's title once: beside the program's name, or in brackets while its
    // window fills the workspace. Qt appends " - [title]" to the main window's title of its own
    // accord while a window is maximised, unless the title holds that part already.
    QString title = app;
    if (frame != nullptr) {
        title += frame->isMaximized() ? " - [" + frame->windowTitle() + "]"
                                      : " - " + frame->windowTitle();
    }
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
}

void CMainFrame::OnRouteCommand(int id) {
    UpdateCommandStates();
    QAction* action = Action(id);
    DocumentFrame* frame = ActiveChildFrame();
    // An accelerator may arrive before the state has caught up; a command that is not
    // available does nothing.
    if (frame != nullptr && action->isEnabled()) {
        if (id == ID_FILE_PRINT || id == ID_FILE_PRINT_PREVIEW) {
            m_app.OnFilePrint(id == ID_FILE_PRINT ? PrintCommand::Dialog : PrintCommand::Preview);
        } else if (const DocTemplate* type = m_app.TemplateOf(frame->GetDocument())) {
            type->OnCommand(*frame, id);
        }
    }
    UpdateCommandStates();
}

void CMainFrame::OnEditCommand(int id) {
    QWidget* focus = QApplication::focusWidget();
    const char* slot = id == ID_EDIT_UNDO   ? "undo"
                       : id == ID_EDIT_CUT  ? "cut"
                       : id == ID_EDIT_COPY ? "copy"
                                            : "paste";
    if (focus != nullptr && Action(id)->isEnabled()) {
        QMetaObject::invokeMethod(focus, slot);
    }
    UpdateCommandStates();
}

void CMainFrame::OnArrangeIcons() {
    // Minimised windows line up along the bottom of the workspace, left to right.
    int x = 0;
    const int bottom = m_mdiArea->viewport()->height();
    for (QMdiSubWindow* window : m_mdiArea->subWindowList()) {
        if (window->isMinimized()) {
            const QSize size = window->size();
            if (x + size.width() > m_mdiArea->viewport()->width() && x > 0) {
                x = 0;
            }
            window->move(x, bottom - size.height());
            x += size.width();
        }
    }
}

// ---- the controller ----

bool CMainFrame::IsLinkOpen() const {
    return m_pProtocol != nullptr && m_pProtocol->IsConnected();
}

void CMainFrame::SetSending(bool sending) {
    m_bSending = sending;
    UpdateCommandStates();
}

void CMainFrame::PostToWorker(int code, std::unique_ptr<ProfileTransfer> transfer) {
    if (m_pProtocol == nullptr) {
        return;
    }
    m_pProtocol->PostCommand(code, std::move(transfer));
    m_bBusy = true;
    m_timer.start(kTimerPeriodMs, this);
    UpdateCommandStates();
}

void CMainFrame::OnControllerConnect() {
    // A second press while the first is under way finds the command disabled.
    if (m_bBusy) {
        UpdateCommandStates();
        return;
    }
    PostToWorker(IsLinkOpen() ? CMD_DISCONNECT : CMD_CONNECT, nullptr);
}

void CMainFrame::OnControllerDone(int code) {
    if (code == CMD_SEND_PROFILE) {
        m_bSending = false;
    }
    if (code == CMD_CONNECT || code == CMD_DISCONNECT || code == CMD_SEND_PROFILE) {
        m_bBusy = false;
        m_timer.stop();
    }
    UpdateCommandStates();
    bool ok = true;
    {
        std::lock_guard lock(m_errorMutex);
        if (!m_finishedOk.empty()) {
            ok = m_finishedOk.front();
            m_finishedOk.pop_front();
        }
    }
    emit controllerDone(code, ok);
}

void CMainFrame::OnCalibration() {
    if (m_calibration == nullptr) {
        m_calibration = new CalibrationWindow(m_app.Context(), this);
        connect(this, &CMainFrame::controllerDone, m_calibration,
                &CalibrationWindow::OnControllerDone);
    }
    m_calibration->show();
    m_calibration->raise();
    m_calibration->activateWindow();
}

void CMainFrame::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer.timerId()) {
        QMainWindow::timerEvent(event);
        return;
    }
    QString text = FromId(ID_INDICATOR_TRANSFER);
    text.chop(m_nDots);
    if (m_bBusy) {
        m_transferPane->setText(text);
    }
    if (--m_nDots < 0) {
        m_nDots = 3;
    }
}

int CMainFrame::ReportError(int stringId, unsigned type) {
    auto request = std::make_shared<ErrorRequest>();
    {
        std::lock_guard lock(m_errorMutex);
        if (m_bClosingDown) {
            // Nobody is left to read it; the worker goes on as if it had been read.
            return IDOK;
        }
        m_pendingErrors.push_back(request);
    }
    QMetaObject::invokeMethod(
        this, [this, request, stringId, type] { ShowWorkerError(request, stringId, type); },
        Qt::QueuedConnection);
    std::unique_lock lock(request->mutex);
    request->answered.wait(lock, [&] { return request->done; });
    return request->answer;
}

void CMainFrame::ShowWorkerError(const std::shared_ptr<ErrorRequest>& request, int stringId,
                                 unsigned type) {
    {
        std::lock_guard lock(m_errorMutex);
        if (m_bClosingDown) {
            return; // answered already, at the end
        }
    }
    const int answer = m_prompter.Message(stringId, type);
    {
        std::lock_guard lock(m_errorMutex);
        std::erase(m_pendingErrors, request);
    }
    request->Answer(answer);
}

void CMainFrame::AbandonErrorRequests() {
    std::vector<std::shared_ptr<ErrorRequest>> pending;
    {
        std::lock_guard lock(m_errorMutex);
        m_bClosingDown = true;
        pending.swap(m_pendingErrors);
    }
    for (const auto& request : pending) {
        request->Answer(IDOK);
    }
}

void CMainFrame::CommandFinished(const CommandReport& report) {
    // Reported before CommandDone of the same command, on the worker's thread.
    {
        std::lock_guard lock(m_errorMutex);
        m_finishedOk.push_back(report.ok);
    }
    if (report.loadRecord.empty() && report.recordProblem.empty()) {
        return;
    }
    const QString problem = QString::fromStdString(report.recordProblem);
    const auto record = jsonout::Json::parse(report.loadRecord, nullptr, false);
    QString summary;
    QString file;
    QString result;
    if (record.is_object()) {
        summary = QString::fromStdString(loadrecord::Summary(record));
        const auto document = record.value("document", jsonout::Json::object());
        const auto path = document.value("file", jsonout::Json());
        file = path.is_string()
                   ? QFileInfo(QString::fromStdString(path.get<std::string>())).fileName()
                   : tr("(never saved)");
        result = QString::fromStdString(record.value("result", std::string()));
    }
    QMetaObject::invokeMethod(
        this,
        [this, summary, file, result, problem] {
            if (!summary.isEmpty()) {
                m_loadPane->setText(tr("Last load: %1, %2").arg(file, result));
                m_loadPane->setToolTip(summary);
            }
            if (!problem.isEmpty()) {
                m_prompter.MessageBox(problem.toStdString(), MB_OK); // the loads go on
            }
        },
        Qt::QueuedConnection);
}

void CMainFrame::CommandDone(int code) {
    QMetaObject::invokeMethod(
        this, [this, code] { OnControllerDone(code); }, Qt::QueuedConnection);
}

// ---- closing, session end, layout ----

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_bBusy) {
        m_prompter.Message(IDS_BUSY_CLOSE_APP, MB_OK);
        event->ignore();
        return;
    }
    SaveLayout();
    if (!m_app.CloseAllDocuments()) {
        event->ignore();
        return;
    }
    event->accept();
}

void CMainFrame::OnSessionEnd(QSessionManager& manager) {
    if (!m_app.SaveAllModified()) {
        manager.cancel();
        return;
    }
    if (m_bBusy) {
        if (manager.allowsInteraction()) {
            m_prompter.Message(IDS_BUSY_CLOSE_APP, MB_OK);
            manager.release();
        }
        manager.cancel();
        return;
    }
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CMainFrame::SaveLayout() {
    m_settings.WriteString(kWorkspaceSection, "Geometry", saveGeometry().toBase64().toStdString());
    m_settings.WriteString(kWorkspaceSection, "State", saveState().toBase64().toStdString());
    SaveToolbarButtons(*m_toolBar, m_settings);
}

void CMainFrame::RestoreLayout() {
    std::vector<QAction*> available;
    for (const auto& [id, action] : m_actions) {
        available.push_back(action);
    }
    RestoreToolbarButtons(*m_toolBar, available, m_settings);
    const auto geometry = m_settings.GetString(kWorkspaceSection, "Geometry", "");
    if (geometry.empty() || !restoreGeometry(QByteArray::fromBase64(geometry.c_str()))) {
        resize(800, 600);
    }
    const auto state = m_settings.GetString(kWorkspaceSection, "State", "");
    if (!state.empty()) {
        restoreState(QByteArray::fromBase64(state.c_str()));
    }
}

// ---- customize, drops, lock keys ----

void CMainFrame::OnCustomize() {
    CCustomizeSheet sheet(
        *this, m_buttons, m_settings, m_prompter, [this] { return IsLinkOpen(); }, this);
    sheet.exec();
    UpdateCommandStates();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    activateWindow();
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            m_app.OpenDocumentFile(url.toLocalFile());
        }
    }
    event->acceptProposedAction();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && qobject_cast<DocumentFrame*>(watched)) {
        // A document window maximised or restored: its title moves in or out of brackets once
        // the workspace has finished with the window's buttons in the menu bar.
        QMetaObject::invokeMethod(this, &CMainFrame::UpdateWindowTitle, Qt::QueuedConnection);
    } else if (event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock) {
            UpdateLockIndicators();
        }
    } else if (event->type() == QEvent::ApplicationActivate) {
        UpdateLockIndicators();
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::UpdateLockIndicators() {
    const LockStates states = CurrentLockStates();
    for (std::size_t i = 0; i < states.size(); ++i) {
        // A lock that is off, or that nothing reports, leaves its pane empty.
        const bool on = states[i].value_or(false);
        m_lockPanes[i]->setText(on ? m_lockPanes[i]->objectName() : QString());
    }
}
