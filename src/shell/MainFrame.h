// The program's main window: a workspace of document windows with the menus, the tool bar
// and the status bar, and the user-interface end of the link to the controller.
//
// The frame owns the controller commands (Connect, Send's state, Receive), the Customize
// sheet, the transfer pane, and the guards that keep the program open while the worker is
// busy. It owns the worker and is its host: the worker reports errors and finished commands to
// it from its own thread, and documents reach the worker through it (ControllerHost). Its end
// stops the worker first.
#pragma once

#include "comm/LC_Protocol.h"
#include "framework/ControllerHost.h"

#include <QBasicTimer>
#include <QMainWindow>
#include <QPointer>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class CTessaronApp;
class CalibrationWindow;
class DocumentFrame;
class DocTemplate;
class Document;
class Prompter;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStyle;
class QToolBar;
class SettingsStore;

class CMainFrame : public QMainWindow, public ProtocolHost, public ControllerHost {
    Q_OBJECT

public:
    CMainFrame(CTessaronApp& app, SettingsStore& settings, Prompter& prompter);
    // Stops the worker (StopWorker) before anything of the window goes.
    ~CMainFrame() override;

    // Takes over the communication worker, made with this frame as its host, and starts it.
    void AttachWorker(std::unique_ptr<CLC_Protocol> worker);
    CLC_Protocol* Worker() const { return m_pProtocol.get(); }
    // The end of the exchange with the controller: answers every error report the worker is
    // waiting on and refuses later ones (they count as read), then stops the worker, which
    // runs the commands still queued and takes an open link off line. The user-interface
    // thread never waits for a worker that waits for it. Run by the destructor at the latest.
    void StopWorker();

    // Worker side (called on the worker's thread).
    int ReportError(int stringId, unsigned type) override;
    void CommandDone(int code) override;
    // Shows the last load in the status bar (and, once, a record that could not be written).
    void CommandFinished(const CommandReport& report) override;

    // What documents need of the frame.
    bool IsLinkOpen() const override;
    bool IsBusy() const override { return m_bBusy; }
    bool IsSending() const override { return m_bSending; }
    void SetSending(bool sending) override;
    void PostToWorker(int code, std::unique_ptr<ProfileTransfer> transfer) override;

    QMdiArea* MdiArea() const { return m_mdiArea; }
    DocumentFrame* ActiveChildFrame() const;
    // The action of a command ID (menu item, accelerator and tool bar button alike).
    QAction* Action(int commandId) const;
    QToolBar* DefaultToolBar() const { return m_toolBar; }
    // The tool bar's default buttons in order; nullptr stands for a separator.
    const std::vector<QAction*>& ToolbarButtons() const { return m_buttons; }
    QLabel* TransferPane() const { return m_transferPane; }
    // The last load of a document: a line of the status bar, its record as the tool tip.
    QLabel* LoadPane() const { return m_loadPane; }
    // The menu bar's menus as shown now, by title ("&File", "&Edit", ...).
    QStringList MenuTitles() const;
    // The menu resource in use: 128 without a document, else the active document type's.
    int CurrentMenuId() const { return m_menuId; }

    // Brings every command's enabled, checked and visible state up to date.
    void UpdateCommandStates();
    // The window and tool bar layout, kept in the settings file.
    void SaveLayout();
    void RestoreLayout();
    // The recent-file entries of the File menu.
    void UpdateRecentFileMenu();

public slots:
    void OnControllerConnect();
    void OnCustomize();
    // The end of a worker command (code 0, 1 or 2).
    void OnControllerDone(int code);
    // Tools > Calibration: shows the Calibration window, made on first use.
    void OnCalibration();

signals:
    // A worker command has ended, after the frame's own state caught up; `ok` when it did
    // what it was asked.
    void controllerDone(int code, bool ok);

public:
    CalibrationWindow* Calibration() const { return m_calibration; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct ErrorRequest;
    // Tests look at the error reports waiting for an answer.
    friend struct MainFrameTestAccess;

    QAction* AddCommand(int id, const QString& text, const QList<QKeySequence>& keys = {},
                        const QString& prompt = {});
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    std::vector<QMenu*> BuildMenus(int menuId);
    void SwitchMenus(int menuId);
    void OnRouteCommand(int id);
    void OnEditCommand(int id);
    void OnArrangeIcons();
    void OnSessionEnd(class QSessionManager& manager);
    void ShowWorkerError(const std::shared_ptr<ErrorRequest>& request, int stringId, unsigned type);
    void AbandonErrorRequests();
    void UpdateLockIndicators();
    void UpdateWindowTitle();

    CTessaronApp& m_app;
    SettingsStore& m_settings;
    Prompter& m_prompter;
    QMdiArea* m_mdiArea = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_transferPane = nullptr;
    QLabel* m_loadPane = nullptr;
    QLabel* m_lockPanes[3] = {};
    // The menus' style: checkable commands show a mark only while checked.
    QStyle* m_menuStyle = nullptr;
    std::map<int, QAction*> m_actions;
    std::vector<QAction*> m_buttons;
    std::vector<QAction*> m_recentActions;
    // The menu bar's menus for each menu resource: 128 without a document, 129 for a
    // profile, 130 for a volt-phase table.
    std::map<int, std::vector<QMenu*>> m_menus;
    std::vector<QAction*> m_recentSeparators;
    int m_menuId = 0;
    QBasicTimer m_timer;

    // The state of the exchange with the controller: busy from posting a command until it
    // has finished, sending during a profile send, and the transfer pane's animation step.
    bool m_bBusy = false;
    bool m_bSending = false;
    int m_nDots = 0;

    // Error reports of the worker waiting for the person's answer. At the end the frame
    // answers those still waiting itself, so the worker can never wait on a window that is
    // gone.
    std::mutex m_errorMutex;
    std::vector<std::shared_ptr<ErrorRequest>> m_pendingErrors;
    bool m_bClosingDown = false;
    // Whether each finished command did what it was asked, in the order they finished, until
    // its end reaches the user-interface thread.
    std::deque<bool> m_finishedOk;

    CalibrationWindow* m_calibration = nullptr;

    // The worker; the last member, so that it goes first (StopWorker has ended its thread).
    std::unique_ptr<CLC_Protocol> m_pProtocol;
};
