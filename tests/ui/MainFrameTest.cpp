// The window program end to end: the main frame with a volt-phase document, the worker and
// the controller simulator on a pseudo-terminal, driven through the frame's commands.
#include "shell/MainFrame.h"

#include "ControllerSimulator.h"
#include "comm/ProtocolLog.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"
#include "shell/CustomizeSheet.h"
#include "shell/HelpWindow.h"
#include "shell/LockIndicators.h"
#include "shell/Page1.h"
#include "shell/TessaronApp.h"
#include "support/FakePrompter.h"
#include "support/MainFrameAccess.h"
#include "support/TempDir.h"
#include "ui/CommandIds.h"
#include "ui/DocTemplate.h"
#include "ui/DocumentFrame.h"
#include "volt/LC_VoltDoc.h"
#include "volt_ui/TessaronVoltView.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Runs the event loop until `done` holds or the deadline passes.
bool WaitUntil(const std::function<bool()>& done, int milliseconds = 15000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // Windows closed outside an event loop are deleted here, as the loop would.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// Ends the test program with a message when it is not dismissed before `limit`: a hang in
// the code under test then fails at once instead of stopping the whole run.
class Watchdog {
public:
    Watchdog(std::chrono::milliseconds limit, const char* what)
        : m_thread([this, limit, what] {
              std::unique_lock lock(m_mutex);
              if (!m_dismissed.wait_for(lock, limit, [this] { return m_done; })) {
                  std::fprintf(stderr, "%s: still not done after %lld ms\n", what,
                               static_cast<long long>(limit.count()));
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_dismissed.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_dismissed;
    bool m_done = false;
    std::thread m_thread;
};

class MainFrameTest : public ::testing::Test {
protected:
    // A program on its own settings file, with the simulator inside unless `settings` names a
    // device of its own.
    void Start(const std::string& settings = "[Settings]\nCOM_Speed=9\nCOM RxTimeout=300\n",
               bool simulate = true) {
        TempDir::Write(m_dir.File("tessaron.ini"), settings);
        // The protocol log and the record of loads beside it stay in the test's folder.
        protolog::SetLogPath(m_dir.File("tessaron.log"));
        AppOptions options;
        options.settingsPath = m_dir.File("tessaron.ini");
        options.simulate = simulate;
        m_app = std::make_unique<CTessaronApp>(options, &m_prompter);
        ASSERT_TRUE(m_app->InitInstance());
        m_frame = m_app->MainFrame();
    }

    QAction* Command(int id) const { return m_frame->Action(id); }
    void Trigger(int id) const {
        m_frame->UpdateCommandStates();
        Command(id)->trigger();
    }
    bool Idle() const { return !m_frame->IsBusy(); }

    // A new volt-phase table with 5 elements, section 2, levels 7 and 3, applied.
    CLC_VoltDoc& NewVoltTable() {
        DocTemplate* volt = nullptr;
        for (const auto& type : m_app->Templates()) {
            if (type->ResourceId() == IDR_VOLT_TYPE) {
                volt = type.get();
            }
        }
        auto* doc = static_cast<CLC_VoltDoc*>(m_app->NewDocument(*volt));
        auto* view = qobject_cast<CTessaronVoltView*>(m_frame->ActiveChildFrame()->widget());
        const std::pair<int, const char*> fields[] = {
            {1079, "5"}, {1078, "2"}, {1080, "7"}, {1081, "3"}};
        for (const auto& [id, text] : fields) {
            auto* edit = qobject_cast<QLineEdit*>(view->Control(id));
            edit->selectAll();
            QTest::keyClicks(edit, text);
        }
        QTest::mouseClick(qobject_cast<QPushButton*>(view->Control(1077)), Qt::LeftButton);
        return *doc;
    }

    void Connect() {
        Trigger(ID_CONTROLLER_CONNECT);
        ASSERT_TRUE(WaitUntil([this] { return Idle(); }));
        ASSERT_TRUE(Command(ID_CONTROLLER_CONNECT)->isChecked());
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& shown : m_prompter.shown) {
            texts.push_back(shown.text);
        }
        return texts;
    }

    TempDir m_dir;
    FakePrompter m_prompter;
    std::unique_ptr<CTessaronApp> m_app;
    CMainFrame* m_frame = nullptr;
};

TEST_F(MainFrameTest, PlainStartShowsTheMainMenuWithoutADocumentAndReceiveIsNeverAvailable) {
    Start();
    EXPECT_TRUE(m_app->Documents().empty());
    EXPECT_EQ(m_frame->CurrentMenuId(), 128);
    EXPECT_EQ(m_frame->MenuTitles(), QStringList({"&File", "&View", "&Tools", "&Help"}));
    EXPECT_FALSE(Command(ID_CONTROLLER_RECEIVE)->isEnabled());
    EXPECT_FALSE(Command(ID_CONTROLLER_SEND)->isEnabled());

    NewVoltTable();
    EXPECT_EQ(m_frame->CurrentMenuId(), 130);
    EXPECT_EQ(m_frame->MenuTitles(),
              QStringList({"&File", "&Edit", "&View", "&Tools", "&Window", "&Help"}));
    // The profile's own edit commands stay on the tool bar, disabled, but not in this menu.
    for (QAction* popup : m_frame->menuBar()->actions()) {
        EXPECT_FALSE(popup->menu()->actions().contains(Command(ID_EDIT_DATA)));
    }
    EXPECT_FALSE(Command(ID_EDIT_DATA)->isEnabled());
    Connect();
    m_frame->UpdateCommandStates();
    EXPECT_FALSE(Command(ID_CONTROLLER_RECEIVE)->isEnabled());

    // The tool bar holds the default buttons in order.
    std::vector<int> ids;
    for (QAction* action : m_frame->DefaultToolBar()->actions()) {
        ids.push_back(action->isSeparator() ? 0 : action->data().toInt());
    }
    EXPECT_EQ(ids, (std::vector<int>{57600, 57601, 57603, 0, 57635, 57634, 57637, 32777, 32779, 0,
                                     32776, 32775, 32774, 0, 57607, 0, 57664, 57669}));
}

TEST_F(MainFrameTest, ConnectSendDisconnectReachTheControllerWithTheTableCodes) {
    Start();
    CLC_VoltDoc& doc = NewVoltTable();
    EXPECT_EQ(doc.ElementCodes(), (std::vector<std::uint16_t>{7, 7, 3, 3, 7}));
    EXPECT_FALSE(Command(ID_CONTROLLER_SEND)->isEnabled()) << "Send needs an open link";

    Connect();
    ASSERT_TRUE(Command(ID_CONTROLLER_SEND)->isEnabled());
    // Busy from the moment the send is posted: the pane animates, Connect is disabled.
    Trigger(ID_CONTROLLER_SEND);
    EXPECT_TRUE(m_frame->IsBusy());
    EXPECT_TRUE(m_frame->IsSending());
    EXPECT_FALSE(Command(ID_CONTROLLER_CONNECT)->isEnabled());
    EXPECT_TRUE(Command(ID_CONTROLLER_SEND)->isChecked());
    ASSERT_TRUE(WaitUntil([this] { return Idle(); }));
    EXPECT_FALSE(m_frame->IsSending());
    EXPECT_TRUE(m_frame->TransferPane()->text().isEmpty());
    // The status bar shows the load, its record is the tool tip.
    ASSERT_TRUE(WaitUntil([this] { return !m_frame->LoadPane()->text().isEmpty(); }));
    EXPECT_EQ(m_frame->LoadPane()->text(), "Last load: (never saved), done");
    EXPECT_TRUE(m_frame->LoadPane()->toolTip().contains("  done  (never saved) (volt-phase), 5 "
                                                        "elements to "));

    Trigger(ID_CONTROLLER_CONNECT); // now a disconnect
    ASSERT_TRUE(WaitUntil([this] { return Idle(); }));
    EXPECT_FALSE(Command(ID_CONTROLLER_CONNECT)->isChecked());
    EXPECT_FALSE(Command(ID_CONTROLLER_SEND)->isEnabled());

    const auto commands = m_app->Simulator()->Commands();
    ASSERT_EQ(commands.size(), 4u); // connect, parameters, profile, disconnect
    EXPECT_EQ(std::string(
                  {commands[0].letter, commands[1].letter, commands[2].letter, commands[3].letter}),
              "UQSZ");
    EXPECT_EQ(commands[2].elements, 5);
    // The level codes above the middle of the 16-bit range, then their mirror images below it.
    EXPECT_EQ(commands[2].codes, (std::vector<std::uint16_t>{32775, 32775, 32771, 32771, 32775,
                                                             32760, 32760, 32764, 32764, 32760}));
    EXPECT_TRUE(m_app->Simulator()->Problems().empty());
    EXPECT_TRUE(m_prompter.shown.empty());
}

TEST_F(MainFrameTest, F1OpensTheGuideAtTheActiveWindowsTopicAndHelpTopicsAtItsStart) {
    Start();
    NewVoltTable();
    Trigger(ID_HELP);
    ASSERT_NE(HelpWindow::Instance(), nullptr);
    const QScrollBar* scroll = HelpWindow::Instance()->Browser()->verticalScrollBar();
    EXPECT_TRUE(WaitUntil([scroll] { return scroll->value() > 0; }));
    Trigger(ID_HELP_FINDER);
    EXPECT_EQ(scroll->value(), 0);
    delete HelpWindow::Instance();
}

TEST_F(MainFrameTest, TitleNamesTheDocumentOnceAndTheMessageAreaReturnsToReady) {
    Start();
    m_frame->show();
    DocTemplate* profile = nullptr;
    for (const auto& type : m_app->Templates()) {
        if (type->ResourceId() == IDR_PROFILE_TYPE) {
            profile = type.get();
        }
    }
    m_app->NewDocument(*profile);
    DocumentFrame* window = m_frame->ActiveChildFrame();
    ASSERT_NE(window, nullptr);
    const QString name = window->windowTitle();
    const QString plain = "Tessaron - " + name, maximised = "Tessaron - [" + name + "]";
    EXPECT_EQ(m_frame->windowTitle(), plain);
    // Maximised, restored, maximised again: the document is named once, in brackets while its
    // window fills the workspace.
    for (const bool maximise : {true, false, true}) {
        maximise ? window->showMaximized() : window->showNormal();
        EXPECT_TRUE(WaitUntil([&] {
            return m_frame->windowTitle() == (maximise ? maximised : plain);
        })) << m_frame->windowTitle().toStdString();
    }

    // A menu's or tool tip's text passes; then the message area says "Ready" again.
    QStatusBar* bar = m_frame->statusBar();
    EXPECT_EQ(bar->currentMessage(), "Ready");
    bar->showMessage("Create a new document");
    EXPECT_EQ(bar->currentMessage(), "Create a new document");
    bar->clearMessage();
    EXPECT_EQ(bar->currentMessage(), "Ready");
    QStatusTipEvent tip(QString{});
    QApplication::sendEvent(m_frame, &tip);
    EXPECT_EQ(bar->currentMessage(), "Ready");
}

TEST_F(MainFrameTest, MenuCommandsThatCanBeCheckedShowAMarkOnlyWhileChecked) {
    Start();
    NewVoltTable();
    // The style of the menu that holds Connect.
    QStyle* style = nullptr;
    for (QAction* popup : m_frame->menuBar()->actions()) {
        if (popup->menu()->actions().contains(Command(ID_CONTROLLER_CONNECT))) {
            style = popup->menu()->style();
        }
    }
    ASSERT_NE(style, nullptr);
    // A menu with the command checkable, and the same menu with a plain command.
    const auto picture = [style](bool checkable, bool checked) {
        QMenu menu;
        menu.setStyle(style);
        QAction* action = menu.addAction("&Connect");
        action->setCheckable(checkable);
        action->setChecked(checked);
        menu.addAction("&Send");
        return menu.grab().toImage();
    };
    EXPECT_EQ(picture(true, false), picture(false, false));
    EXPECT_NE(picture(true, true), picture(false, false));
}

TEST(LockIndicatorsTest, AKeyboardLedTellsItsLockAndNoneLeavesItUnknown) {
    TempDir leds;
    // Folder of an LED and its brightness: a lock is on when any of its keyboards' LEDs is lit.
    const std::pair<const char*, const char*> files[] = {
        {"input3::capslock", "0\n"}, {"input7::capslock", "1\n"}, {"input3::numlock", "0\n"},
        {"input3::kana", "1\n"},     {"phy0-led", "1\n"},
    };
    for (const auto& [folder, brightness] : files) {
        std::filesystem::create_directories(leds.File(folder));
        TempDir::Write(leds.File(std::string(folder) + "/brightness"), brightness);
    }
    const LockStates expected = {true, false, std::nullopt};
    EXPECT_EQ(LedLockStates(QString::fromStdString(leds.Path())), expected);
    // Without a display server that knows them (the offscreen platform), the LEDs tell.
    EXPECT_EQ(CurrentLockStates(QString::fromStdString(leds.Path())), expected);
    EXPECT_EQ(LedLockStates(QString::fromStdString(leds.File("none"))), LockStates{});
}

TEST_F(MainFrameTest, FailedConnectShowsItsMessageBeforeTheCommandEndsAndStaysUnchecked) {
    Start("[Settings]\nCOM_Device=" + m_dir.File("no-such-port") + "\n", false);
    m_prompter.ExpectMessages();
    Trigger(ID_CONTROLLER_CONNECT);
    // Pressed again while the first is under way: disabled, nothing more is posted.
    EXPECT_FALSE(Command(ID_CONTROLLER_CONNECT)->isEnabled());
    Trigger(ID_CONTROLLER_CONNECT);
    ASSERT_TRUE(WaitUntil([this] { return Idle(); }));
    EXPECT_EQ(Messages(), std::vector<std::string>{LoadString(IDS_CANT_OPEN_PORT)});
    EXPECT_FALSE(Command(ID_CONTROLLER_CONNECT)->isChecked());
    EXPECT_TRUE(Command(ID_CONTROLLER_CONNECT)->isEnabled());
}

TEST_F(MainFrameTest, NothingClosesWhileTheControllerIsBusy) {
    Start();
    NewVoltTable();
    Connect();
    // A slow wire keeps the send under way while the test tries to close.
    m_app->Simulator()->SetPace(1200);
    m_prompter.ExpectMessages();
    Trigger(ID_CONTROLLER_SEND);
    ASSERT_TRUE(m_frame->IsSending());
    DocumentFrame* child = m_frame->ActiveChildFrame();
    EXPECT_FALSE(child->close());
    EXPECT_FALSE(m_frame->close());
    // The document asks about its changes first (no), then keeps its window for the send.
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Save changes to VoltPhase1?",
                                                    LoadString(IDS_BUSY_CLOSE_DOC),
                                                    LoadString(IDS_BUSY_CLOSE_APP)}));
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_EQ(m_app->Documents().size(), 1u);

    // The pane animates meanwhile: the text with three dots, then none, one, two, three, ...
    // (a loaded machine may let the test see a tick late, so only the steps it saw are
    // checked against the cycle).
    const QStringList cycle{"data transfer...", "data transfer", "data transfer.",
                            "data transfer.."};
    QStringList texts;
    ASSERT_TRUE(WaitUntil([&] {
        const QString text = m_frame->TransferPane()->text();
        if (!text.isEmpty() && (texts.isEmpty() || texts.back() != text)) {
            texts << text;
        }
        return texts.size() >= 4 || Idle();
    }));
    ASSERT_GE(texts.size(), 3);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        ASSERT_TRUE(cycle.contains(texts[i])) << texts[i].toStdString();
        if (i > 0) {
            const qsizetype step = (cycle.indexOf(texts[i]) - cycle.indexOf(texts[i - 1]) + 4) % 4;
            EXPECT_TRUE(step == 1 || step == 2) << texts.join('|').toStdString();
        }
    }

    ASSERT_TRUE(WaitUntil([this] { return Idle(); }));
    m_prompter.QueueAnswer(IDNO); // "Save changes to VoltPhase1?"
    EXPECT_TRUE(m_frame->close());
    EXPECT_TRUE(WaitUntil([this] { return m_app->Documents().empty(); }));
}

// The program ends while the worker waits for the person to read why a send failed, with more
// sends queued behind it: the frame answers the waiting report itself and refuses the later
// ones, so the end takes no longer than the queued commands' time-outs.
TEST_F(MainFrameTest, EndsWhileAQueuedCommandIsFailing) {
    constexpr int kRxTimeoutMs = 100;
    constexpr int kSends = 3;
    Start("[Settings]\nCOM_Speed=9\nCOM RxTimeout=" + std::to_string(kRxTimeoutMs) + "\n");
    // Nothing needs drawing here. (The test also runs under ThreadSanitizer, and Qt's drawing
    // threads are not built for it.)
    m_frame->hide();
    Connect();
    m_app->Simulator()->SetFaults({.silent = true});
    m_prompter.ExpectMessages();
    const ProfileTransfer codes{.codes = {32775, 32760}, .elements = 1, .load = nullptr};
    for (int i = 0; i < kSends; ++i) {
        m_frame->PostToWorker(CMD_SEND_PROFILE, std::make_unique<ProfileTransfer>(codes));
    }

    // Without the event loop nobody answers the report of the first send.
    const auto reported = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (MainFrameTestAccess::PendingErrorReports(*m_frame) == 0) {
        ASSERT_LT(std::chrono::steady_clock::now(), reported) << "the first send never failed";
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    // Each queued send and the final disconnect try three times, a time-out each.
    const auto limit = std::chrono::milliseconds(kSends * 3 * kRxTimeoutMs + 10000);
    const auto start = std::chrono::steady_clock::now();
    {
        Watchdog watchdog(limit, "the program's end");
        m_app.reset();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, limit);
    EXPECT_TRUE(m_prompter.shown.empty()) << "nobody was left to read the messages";
}

TEST_F(MainFrameTest, CustomizeSheetWritesEverySettingAndAsksForAReconnectWhileConnected) {
    Start();
    Connect();
    m_prompter.ExpectMessages();
    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* sheet = qobject_cast<CCustomizeSheet*>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->windowTitle(), "Customize");
        EXPECT_EQ(sheet->Tabs()->tabText(2), "Common");
        sheet->Tabs()->setCurrentIndex(2);
        auto* elements = sheet->CommonPage()->findChild<QLineEdit*>("elements");
        ASSERT_NE(elements, nullptr);
        elements->selectAll();
        QTest::keyClicks(elements, "128");
        QTest::mouseClick(sheet->OkButton(), Qt::LeftButton);
        driven = true;
    });
    Trigger(ID_CUSTOMIZE);
    ASSERT_TRUE(driven);
    EXPECT_EQ(Messages(), std::vector<std::string>{LoadString(IDS_CHANGES_AFTER_RECONNECT)});
    const SettingsStore written(m_dir.File("tessaron.ini"));
    for (const char* key :
         {"COM_Port", "COM_Speed", "COM RxTimeout", "Protocol Log", "Freq Line", "Freq Frame",
          "DAC Digit", "Number of elements", "Aperture", "Max faze Pi"}) {
        EXPECT_TRUE(written.Find("Settings", key).has_value()) << key;
    }
}

TEST_F(MainFrameTest, FilesComeFromTheCommandLineTheRecentListAndSaveAs) {
    const std::string example = std::string(TESSARON_TEST_DATA) + "/volt-example.vf";
    AppOptions options;
    options.settingsPath = m_dir.File("tessaron.ini");
    options.documents << QString::fromStdString(example);
    m_app = std::make_unique<CTessaronApp>(options, &m_prompter);
    ASSERT_TRUE(m_app->InitInstance());
    m_frame = m_app->MainFrame();
    ASSERT_EQ(m_app->Documents().size(), 1u);
    EXPECT_EQ(m_frame->CurrentMenuId(), 130);
    // Opening it again shows the same document instead of a second copy.
    EXPECT_EQ(m_app->OpenDocumentFile(QString::fromStdString(example)), m_app->Documents()[0]);

    // Save As under five names: the recent list keeps the last four, the latest first.
    for (int i = 1; i <= 5; ++i) {
        m_prompter.QueueFile(FileChoice{m_dir.File("copy" + std::to_string(i) + ".vf"), 1});
        Trigger(ID_FILE_SAVE_AS);
    }
    EXPECT_EQ(m_prompter.fileRequests.back().filter, "Volt-Phase files(*.vf)|*.vf||");
    EXPECT_EQ(TempDir::Read(m_dir.File("copy5.vf")), TempDir::Read(example));
    const auto& recent = m_app->RecentFiles().Paths();
    ASSERT_EQ(recent.size(), 4u);
    EXPECT_EQ(recent.front(), m_dir.File("copy5.vf"));
    EXPECT_EQ(recent.back(), m_dir.File("copy2.vf"));
    EXPECT_EQ(m_frame->ActiveChildFrame()->windowTitle(), "copy5.vf");

    // A listed file that has gone is reported and leaves the list.
    Trigger(ID_FILE_CLOSE);
    ASSERT_TRUE(WaitUntil([this] { return m_app->Documents().empty(); }));
    std::remove(m_dir.File("copy4.vf").c_str());
    m_prompter.ExpectMessages();
    m_app->OnOpenRecentFile(1);
    EXPECT_EQ(Messages(), std::vector<std::string>{LoadString(IDP_FAILED_TO_OPEN_DOC)});
    EXPECT_EQ(m_app->RecentFiles().Paths().size(), 3u);
    m_app->OnOpenRecentFile(1);
    EXPECT_EQ(m_app->Documents().size(), 1u);
    EXPECT_EQ(m_app->Documents()[0]->GetPathName(), m_dir.File("copy3.vf"));
}

// A damaged or a missing file among those of the command line is named in its message, and
// the files after it open all the same: the messages follow once every file has been tried.
TEST_F(MainFrameTest, AFileThatDoesNotOpenIsNamedAndTheOthersOpenAllTheSame) {
    const std::string data = TESSARON_TEST_DATA;
    const std::string damaged = m_dir.File("damaged.lcp"), missing = m_dir.File("missing.vf");
    TempDir::Write(damaged, "not a profile");
    struct Recording : FakePrompter {
        std::function<std::size_t()> openDocuments;
        std::vector<std::size_t> openAtMessage;
        int DetailedMessageBox(const std::string& text, const std::string& detail,
                               unsigned type) override {
            openAtMessage.push_back(openDocuments());
            return FakePrompter::DetailedMessageBox(text, detail, type);
        }
    } prompter;
    prompter.ExpectMessages();
    AppOptions options;
    options.settingsPath = m_dir.File("tessaron.ini");
    for (const std::string& path : {data + "/default-v2.lcp", damaged, data + "/volt-example.vf",
                                    missing, data + "/profile-v1.lcp"}) {
        options.documents << QString::fromStdString(path);
    }
    m_app = std::make_unique<CTessaronApp>(options, &prompter);
    prompter.openDocuments = [this] { return m_app->Documents().size(); };
    ASSERT_TRUE(m_app->InitInstance());

    std::vector<std::string> opened;
    for (const Document* document : m_app->Documents()) {
        opened.push_back(document->GetTitle());
    }
    EXPECT_EQ(opened,
              (std::vector<std::string>{"default-v2.lcp", "volt-example.vf", "profile-v1.lcp"}));
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].text, LoadString(IDP_INVALID_FORMAT));
    EXPECT_EQ(prompter.shown[0].detail, damaged);
    EXPECT_EQ(prompter.shown[1].text, LoadString(IDP_FAILED_TO_OPEN_DOC));
    EXPECT_EQ(prompter.shown[1].detail, missing + ": No such file or directory");
    EXPECT_EQ(prompter.openAtMessage, (std::vector<std::size_t>{3, 3}));
    // Later the messages come at once again.
    prompter.shown.clear();
    EXPECT_EQ(m_app->OpenDocumentFile(QString::fromStdString(damaged)), nullptr);
    EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST_F(MainFrameTest, UnregisterRemovesTheSettingsFileAndEndsWithoutAWindow) {
    TempDir::Write(m_dir.File("tessaron.ini"), "[Settings]\nCOM_Speed=9\n");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(m_dir.File("data")));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_dir.File("config")));
    AppOptions options = ParseCommandLine(
        {"--settings", QString::fromStdString(m_dir.File("tessaron.ini")), "/Unregister"});
    ASSERT_TRUE(options.unregister);
    m_prompter.ExpectMessages();
    m_app = std::make_unique<CTessaronApp>(options, &m_prompter);
    EXPECT_FALSE(m_app->InitInstance());
    EXPECT_FALSE(m_app->MainFrame()->isVisible());
    EXPECT_FALSE(TempDir::Exists(m_dir.File("tessaron.ini")));
    EXPECT_EQ(Messages(),
              std::vector<std::string>{CTessaronApp::UnregisterReport(true).toStdString()});
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
