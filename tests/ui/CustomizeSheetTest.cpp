// The Customize sheet and the tool bar layout kept in the settings file.
#include "shell/CustomizeSheet.h"

#include "framework/SettingsStore.h"
#include "shell/Page1.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"
#include "ui/Icons.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>

namespace {

// The default tool bar's command IDs in order, 0 for a separator.
const std::vector<int> kDefaultIds = {57600, 57601, 57603, 0, 57635, 57634, 57637, 32777, 32779, 0,
                                      32776, 32775, 32774, 0, 57607, 0,     57664, 57669};
constexpr int kCut = 57635, kNew = 57600, kPrint = 57607;

std::vector<int> Ids(const QToolBar& bar) {
    std::vector<int> ids;
    for (const QAction* action : bar.actions()) {
        ids.push_back(action->isSeparator() ? 0 : action->data().toInt());
    }
    return ids;
}

class CustomizeSheetTest : public ::testing::Test {
protected:
    CustomizeSheetTest() : m_store(m_dir.File("tessaron.ini")) {
        m_bar = m_frame.addToolBar(QStringLiteral("Default"));
        m_bar->setObjectName(QStringLiteral("Default"));
        m_frame.addToolBar(QStringLiteral("Other"))->setObjectName(QStringLiteral("Other"));
        for (const int id : kDefaultIds) {
            QAction* action = nullptr;
            if (id != 0) {
                action = new QAction(QStringLiteral("&Command %1").arg(id), &m_frame);
                action->setData(id);
                action->setStatusTip(QStringLiteral("Does %1").arg(id));
                m_available.push_back(action);
            }
            m_buttons.push_back(action);
        }
        SetToolbarButtons(*m_bar, m_buttons);
        m_sheet.emplace(m_frame, m_buttons, m_store, m_prompter, [] { return false; });
        m_sheet->CommonPage()->SetDeviceFolders({m_dir.File("none"), m_dir.File("none")});
    }
    // Selects the command `id` on the Command page, which lists the commands in bar order.
    void Select(int id) {
        const auto at = std::find_if(m_available.begin(), m_available.end(),
                                     [id](QAction* a) { return a->data().toInt() == id; });
        m_sheet->CommandList()->setCurrentRow(static_cast<int>(at - m_available.begin()));
    }

    TempDir m_dir;
    SettingsStore m_store;
    FakePrompter m_prompter;
    QMainWindow m_frame;
    QToolBar* m_bar = nullptr;
    std::vector<QAction*> m_buttons, m_available;
    std::optional<CCustomizeSheet> m_sheet;
};

TEST_F(CustomizeSheetTest, PagesCaptionsCommandListToolBarBoxesAndPictures) {
    QTabWidget* tabs = m_sheet->Tabs();
    EXPECT_EQ(m_sheet->windowTitle(), "Customize");
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(QStringList({tabs->tabText(0), tabs->tabText(1), tabs->tabText(2)}),
              QStringList({"Toolbars", "Command", "Common"}));
    EXPECT_EQ(m_sheet->ToolbarList()->count(), 2);
    EXPECT_EQ(m_sheet->CategoryList()->item(0)->text(), "default");
    ASSERT_EQ(m_sheet->CommandList()->count(), 14) << "each command once, no separators";
    EXPECT_EQ(m_sheet->CommandList()->item(1)->text(), "Command 57601");
    Select(kPrint);
    EXPECT_EQ(m_sheet->Description()->text(), "Does 57607");
    // A tool bar's check box shows and hides it, and follows it when it is shown from elsewhere.
    m_frame.show();
    QListWidgetItem* item = m_sheet->ToolbarList()->item(0);
    ASSERT_EQ(item->text(), "Default");
    for (const bool shown : {false, true, false}) {
        item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
        EXPECT_EQ(m_bar->isVisible(), shown);
    }
    m_bar->show(); // from elsewhere, e.g. the tool bar's own menu
    EXPECT_EQ(item->checkState(), Qt::Checked);
    // Every button has its picture, the program and its documents their icons.
    for (const int id : kDefaultIds) {
        const QList<QSize> sizes = ToolbarIcon(id).availableSizes();
        EXPECT_EQ(sizes, id == 0 ? QList<QSize>() : QList<QSize>{QSize(16, 15)}) << id;
    }
    for (const QIcon& icon : {AppIcon(), ProfileDocIcon(), VoltDocIcon()}) {
        EXPECT_EQ(icon.availableSizes(), QList<QSize>{QSize(32, 32)});
    }
}

TEST_F(CustomizeSheetTest, AddRemoveAndResetChangeTheBarAndAreKept) {
    // command, added (else removed), removed and appended since the start
    const std::tuple<int, bool, std::vector<int>, std::vector<int>> steps[] = {
        {kCut, false, {kCut}, {}},
        {kCut, false, {kCut}, {}}, // not on the bar: nothing to take off
        {kPrint, false, {kCut, kPrint}, {}},
        {kCut, true, {kCut, kPrint}, {kCut}},
        {kNew, true, {kCut, kPrint, kNew}, {kCut, kNew}}, // on the bar already: moves to the end
    };
    for (const auto& [command, add, removed, appended] : steps) {
        Select(command);
        (add ? m_sheet->AddButton() : m_sheet->RemoveButton())->click();
        std::vector<int> after = kDefaultIds;
        for (const int id : removed) {
            std::erase(after, id);
        }
        after.insert(after.end(), appended.begin(), appended.end());
        EXPECT_EQ(Ids(*m_bar), after) << command << (add ? " added" : " removed");
        EXPECT_EQ(m_sheet->RemoveButton()->isEnabled(), add);
        EXPECT_TRUE(RestoreToolbarButtons(*m_bar, m_available, m_store));
        EXPECT_EQ(Ids(*m_bar), after) << "as kept in the settings";
    }
    for (int round = 0; round < 3; ++round) {
        m_sheet->ResetButton()->click();
    }
    EXPECT_EQ(Ids(*m_bar), kDefaultIds);
    const QList<QAction*> owned = m_bar->findChildren<QAction*>();
    EXPECT_EQ(
        std::count_if(owned.begin(), owned.end(), [](QAction* a) { return a->isSeparator(); }), 4)
        << "no separators left behind";
}

TEST_F(CustomizeSheetTest, OkAndApplyRunTheCommonPage) {
    m_prompter.ExpectMessages();
    for (const auto& [timeout, accepted] : {std::pair{"1234", true}, std::pair{"0", false}}) {
        m_sheet.emplace(m_frame, m_buttons, m_store, m_prompter, [] { return false; });
        m_sheet->show();
        m_sheet->Tabs()->setCurrentIndex(2);
        EXPECT_FALSE(m_sheet->ApplyButton()->isEnabled());
        auto* field = m_sheet->CommonPage()->findChild<QLineEdit*>("rxTimeout");
        field->selectAll();
        QTest::keyClicks(field, timeout);
        EXPECT_TRUE(m_sheet->ApplyButton()->isEnabled());
        m_sheet->Tabs()->setCurrentIndex(0);
        EXPECT_EQ(m_sheet->Tabs()->currentIndex(), accepted ? 0 : 2) << timeout;
        m_sheet->OkButton()->click();
        EXPECT_EQ(m_sheet->result(), accepted ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(m_sheet->isVisible(), !accepted);
        EXPECT_EQ(m_store.GetInt("Settings", "COM RxTimeout", -1), 1234); // the refused 0 not kept
    }
}

TEST_F(CustomizeSheetTest, RestoreLeavesTheBarForBadValues) {
    EXPECT_FALSE(RestoreToolbarButtons(*m_bar, m_available, m_store)) << "nothing kept";
    for (const char* stored : {"", "57600,abc", "57600,,0", "57600,", "-1,57600",
                               "57600,99999999999", "99999,0", "57601, 0 ,99999,57600,57601"}) {
        SetToolbarButtons(*m_bar, m_buttons);
        m_store.WriteString("Workspace", "Default Buttons", stored);
        // Unknown and repeated IDs are skipped; a malformed value, or no button left, is refused.
        const bool good = std::string(stored).starts_with("57601");
        EXPECT_EQ(RestoreToolbarButtons(*m_bar, m_available, m_store), good) << stored;
        EXPECT_EQ(Ids(*m_bar), (good ? std::vector<int>{57601, 0, 57600} : kDefaultIds)) << stored;
    }
    SetToolbarButtons(*m_bar, m_buttons);
    EXPECT_TRUE(SaveToolbarButtons(*m_bar, m_store));
    EXPECT_EQ(m_store.Find("Workspace", "Default Buttons"),
              "57600,57601,57603,0,57635,57634,57637,32777,32779,0,32776,32775,32774,0,"
              "57607,0,57664,57669");
}

} // namespace
