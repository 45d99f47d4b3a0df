// The Customize sheet: which tool bars are shown and which buttons the "Default" tool bar
// holds, and the options page "Common". Tool bar changes take effect at once and are kept in
// the settings file, so neither OK nor Cancel undoes them; the options page writes its
// settings with OK and Apply.
//
// Also here: keeping a tool bar's buttons in the settings file, so that the buttons a user
// arranges survive a restart.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <vector>

class CPage1;
class Prompter;
class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMainWindow;
class QPushButton;
class QTabWidget;
class QToolBar;
class SettingsStore;

// Where a tool bar's buttons are kept: section "Workspace", key "<objectName> Buttons", as the
// comma-separated command IDs of its buttons in order, 0 for a separator.
bool SaveToolbarButtons(const QToolBar& toolBar, SettingsStore& settings);

// Rebuilds `toolBar` from its stored button list, taking the actions of `available` by the
// command ID in their data(); IDs without an action are skipped, and a command listed twice
// keeps its first place. A missing, empty or damaged value, or one that names no known
// command, leaves the tool bar as it is and gives false.
bool RestoreToolbarButtons(QToolBar& toolBar, const std::vector<QAction*>& available,
                           SettingsStore& settings);

// Puts `buttons` (nullptr for a separator) onto `toolBar` in place of what it holds.
void SetToolbarButtons(QToolBar& toolBar, const std::vector<QAction*>& buttons);

class CCustomizeSheet : public QDialog {
    Q_OBJECT

public:
    // `defaultButtons` is the default button list of the "Default" tool bar (nullptr for a
    // separator); its commands make up the Command page's "default" category.
    CCustomizeSheet(QMainWindow& frame, std::vector<QAction*> defaultButtons,
                    SettingsStore& settings, Prompter& prompter, std::function<bool()> isLinkOpen,
                    QWidget* parent = nullptr);

    enum Page { kToolbarsPage = 0, kCommandPage = 1, kCommonPage = 2 };

    QTabWidget* Tabs() const { return m_tabs; }
    CPage1* CommonPage() const { return m_common; }

    // The Toolbars page: one checkable row per tool bar of the frame, and Reset.
    QListWidget* ToolbarList() const { return m_toolbarList; }
    QPushButton* ResetButton() const { return m_reset; }

    // The Command page: the categories, the commands of the selected category, the selected
    // command's description, Add and Remove.
    QListWidget* CategoryList() const { return m_categoryList; }
    QListWidget* CommandList() const { return m_commandList; }
    QLabel* Description() const { return m_description; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* RemoveButton() const { return m_remove; }

    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }
    QPushButton* ApplyButton() const { return m_apply; }

private:
    QWidget* CreateToolbarsPage();
    QWidget* CreateCommandPage();
    void FillToolbarList();
    void UpdateToolbarChecks();
    void OnToolbarItemChanged(QListWidgetItem* item);
    void OnReset();
    void OnCommandSelected();
    void OnAdd();
    void OnRemove();
    // Adds the selected command to the "Default" tool bar, or removes it.
    void ChangeToolbar(bool add);
    void OnTabChanged(int index);
    void OnOk();
    void OnApply();
    // The tool bar the Command page adds to, or nullptr when the frame has none.
    QToolBar* DefaultToolBar() const;
    QAction* SelectedCommand() const;
    void ToolbarChanged(QToolBar& toolBar);

    QMainWindow& m_frame;
    std::vector<QAction*> m_defaultButtons;
    SettingsStore& m_settings;

    QTabWidget* m_tabs = nullptr;
    CPage1* m_common = nullptr;
    QListWidget* m_toolbarList = nullptr;
    std::vector<QPointer<QToolBar>> m_toolbars;
    QPushButton* m_reset = nullptr;
    QListWidget* m_categoryList = nullptr;
    QListWidget* m_commandList = nullptr;
    std::vector<QPointer<QAction>> m_commands;
    QLabel* m_description = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_apply = nullptr;
    int m_currentTab = 0;
    bool m_bSwitchingBack = false;
};
