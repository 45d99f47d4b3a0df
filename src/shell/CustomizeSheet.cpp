#include "shell/CustomizeSheet.h"

#include "framework/AsciiText.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"
#include "shell/Page1.h"
#include "ui/DialogUnits.h"
#include "ui/Icons.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace {

constexpr std::string_view kWorkspaceSection = "Workspace";

std::string ButtonsKey(const QToolBar& toolBar) {
    return toolBar.objectName().toStdString() + " Buttons";
}

// The command ID an action carries, or 0 when it carries none.
int CommandIdOf(const QAction* action) {
    bool ok = false;
    const int id = action->data().toInt(&ok);
    return ok && id > 0 ? id : 0;
}

// "57600,57601,0" as its IDs; nothing when any entry is not a non-negative number.
std::optional<std::vector<int>> ParseButtonList(std::string_view text) {
    std::vector<int> ids;
    while (true) {
        const auto comma = text.find(',');
        const std::string_view entry = asciitext::Trim(text.substr(0, comma));
        int id = -1;
        const auto [end, error] = std::from_chars(entry.data(), entry.data() + entry.size(), id);
        if (entry.empty() || error != std::errc() || end != entry.data() + entry.size() || id < 0) {
            return std::nullopt;
        }
        ids.push_back(id);
        if (comma == std::string_view::npos) {
            return ids;
        }
        text.remove_prefix(comma + 1);
    }
}

// A command's menu text as a list shows it: without its mnemonic marks.
QString PlainText(const QString& text) {
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
        }
        plain += text[i];
    }
    return plain;
}

} // namespace

bool SaveToolbarButtons(const QToolBar& toolBar, SettingsStore& settings) {
    std::string list;
    for (const QAction* action : toolBar.actions()) {
        const int id = action->isSeparator() ? 0 : CommandIdOf(action);
        // A button without a command ID could not be found again on restoring.
        if (id == 0 && !action->isSeparator()) {
            continue;
        }
        if (!list.empty()) {
            list += ',';
        }
        list += std::to_string(id);
    }
    return settings.WriteString(kWorkspaceSection, ButtonsKey(toolBar), list);
}

bool RestoreToolbarButtons(QToolBar& toolBar, const std::vector<QAction*>& available,
                           SettingsStore& settings) {
    const std::optional<std::string> stored = settings.Find(kWorkspaceSection, ButtonsKey(toolBar));
    if (!stored || asciitext::Trim(*stored).empty()) {
        return false;
    }
    const std::optional<std::vector<int>> ids = ParseButtonList(*stored);
    if (!ids) {
        return false;
    }
    std::vector<QAction*> buttons;
    bool anyCommand = false;
    for (const int id : *ids) {
        if (id == 0) {
            buttons.push_back(nullptr);
            continue;
        }
        const auto found = std::find_if(available.begin(), available.end(), [id](QAction* a) {
            return a != nullptr && CommandIdOf(a) == id;
        });
        // A tool bar holds an action once: a repeated ID keeps the first place.
        if (found != available.end() &&
            std::find(buttons.begin(), buttons.end(), *found) == buttons.end()) {
            buttons.push_back(*found);
            anyCommand = true;
        }
    }
    // A list that names none of the program's commands is not a layout the user made.
    if (!anyCommand) {
        return false;
    }
    SetToolbarButtons(toolBar, buttons);
    return true;
}

void SetToolbarButtons(QToolBar& toolBar, const std::vector<QAction*>& buttons) {
    for (QAction* action : toolBar.actions()) {
        toolBar.removeAction(action);
        // Separators the tool bar made itself would pile up with every rebuild.
        if (action->isSeparator() && action->parent() == &toolBar) {
            delete action;
        }
    }
    for (QAction* action : buttons) {
        if (action == nullptr) {
            toolBar.addSeparator();
        } else {
            toolBar.addAction(action);
        }
    }
}

CCustomizeSheet::CCustomizeSheet(QMainWindow& frame, std::vector<QAction*> defaultButtons,
                                 SettingsStore& settings, Prompter& prompter,
                                 std::function<bool()> isLinkOpen, QWidget* parent)
    : QDialog(parent), m_frame(frame), m_defaultButtons(std::move(defaultButtons)),
      m_settings(settings) {
    setWindowTitle(QString::fromStdString(LoadString(IDS_CUSTOMIZE)));
    setFont(DialogUnits::FormFont());

    m_tabs = new QTabWidget(this);
    m_tabs->addTab(CreateToolbarsPage(), QStringLiteral("Toolbars"));
    m_tabs->addTab(CreateCommandPage(), QString::fromStdString(LoadString(IDS_COMMAND_PAGE)));
    m_common = new CPage1(settings, prompter, std::move(isLinkOpen));
    m_tabs->addTab(m_common, m_common->windowTitle());
    connect(m_tabs, &QTabWidget::currentChanged, this, &CCustomizeSheet::OnTabChanged);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_apply = new QPushButton(QStringLiteral("&Apply"), this);
    m_apply->setEnabled(m_common->IsModified());
    connect(m_ok, &QPushButton::clicked, this, &CCustomizeSheet::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_apply, &QPushButton::clicked, this, &CCustomizeSheet::OnApply);
    connect(m_common, &CPage1::modifiedChanged, m_apply, &QPushButton::setEnabled);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_apply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
}

QWidget* CCustomizeSheet::CreateToolbarsPage() {
    auto* page = new QWidget;
    m_toolbarList = new QListWidget(page);
    m_toolbarList->setObjectName(QStringLiteral("toolbars"));
    m_reset = new QPushButton(QStringLiteral("&Reset"), page);
    FillToolbarList();
    connect(m_toolbarList, &QListWidget::itemChanged, this, &CCustomizeSheet::OnToolbarItemChanged);
    connect(m_toolbarList, &QListWidget::currentRowChanged, this,
            [this](int row) { m_reset->setEnabled(row >= 0); });
    connect(m_reset, &QPushButton::clicked, this, &CCustomizeSheet::OnReset);
    m_toolbarList->setCurrentRow(m_toolbars.empty() ? -1 : 0);
    m_reset->setEnabled(m_toolbarList->currentRow() >= 0);

    auto* layout = new QGridLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Toolbars:"), page), 0, 0);
    layout->addWidget(m_toolbarList, 1, 0, 2, 1);
    layout->addWidget(m_reset, 1, 1);
    layout->setRowStretch(2, 1);
    return page;
}

void CCustomizeSheet::FillToolbarList() {
    const QSignalBlocker blocker(m_toolbarList);
    for (QToolBar* toolBar : m_frame.findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) {
        auto* item = new QListWidgetItem(toolBar->windowTitle(), m_toolbarList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        m_toolbars.emplace_back(toolBar);
        // Shown or hidden elsewhere (the tool bar's own menu, closing it while it floats).
        connect(toolBar, &QToolBar::visibilityChanged, this, &CCustomizeSheet::UpdateToolbarChecks);
    }
    UpdateToolbarChecks();
}

void CCustomizeSheet::UpdateToolbarChecks() {
    const QSignalBlocker blocker(m_toolbarList);
    for (std::size_t row = 0; row < m_toolbars.size(); ++row) {
        const QToolBar* toolBar = m_toolbars[row];
        QListWidgetItem* item = m_toolbarList->item(static_cast<int>(row));
        item->setCheckState(toolBar != nullptr && !toolBar->isHidden() ? Qt::Checked
                                                                       : Qt::Unchecked);
    }
}

void CCustomizeSheet::OnToolbarItemChanged(QListWidgetItem* item) {
    const int row = m_toolbarList->row(item);
    if (row < 0 || static_cast<std::size_t>(row) >= m_toolbars.size() ||
        m_toolbars[row] == nullptr) {
        return;
    }
    m_toolbars[row]->setVisible(item->checkState() == Qt::Checked);
    UpdateToolbarChecks();
}

void CCustomizeSheet::OnReset() {
    const int row = m_toolbarList->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= m_toolbars.size() ||
        m_toolbars[row] == nullptr) {
        return;
    }
    SetToolbarButtons(*m_toolbars[row], m_defaultButtons);
    ToolbarChanged(*m_toolbars[row]);
}

QWidget* CCustomizeSheet::CreateCommandPage() {
    auto* page = new QWidget;
    m_categoryList = new QListWidget(page);
    m_categoryList->setObjectName(QStringLiteral("categories"));
    m_categoryList->addItem(QStringLiteral("default"));
    m_categoryList->setCurrentRow(0);

    m_commandList = new QListWidget(page);
    m_commandList->setObjectName(QStringLiteral("commands"));
    for (QAction* action : m_defaultButtons) {
        if (action == nullptr ||
            std::find(m_commands.begin(), m_commands.end(), action) != m_commands.end()) {
            continue;
        }
        const QIcon icon =
            action->icon().isNull() ? ToolbarIcon(CommandIdOf(action)) : action->icon();
        m_commandList->addItem(new QListWidgetItem(icon, PlainText(action->text())));
        m_commands.emplace_back(action);
    }

    m_description = new QLabel(page);
    m_description->setObjectName(QStringLiteral("description"));
    m_description->setWordWrap(true);
    m_add = new QPushButton(QStringLiteral("A&dd"), page);
    m_remove = new QPushButton(QStringLiteral("Re&move"), page);
    connect(m_commandList, &QListWidget::currentRowChanged, this,
            &CCustomizeSheet::OnCommandSelected);
    connect(m_add, &QPushButton::clicked, this, &CCustomizeSheet::OnAdd);
    connect(m_remove, &QPushButton::clicked, this, &CCustomizeSheet::OnRemove);
    OnCommandSelected();

    auto* descriptionBox = new QGroupBox(QStringLiteral("Description"), page);
    auto* descriptionLayout = new QVBoxLayout(descriptionBox);
    descriptionLayout->addWidget(m_description);

    auto* layout = new QGridLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Categories:"), page), 0, 0);
    layout->addWidget(m_categoryList, 1, 0, 3, 1);
    layout->addWidget(new QLabel(QStringLiteral("Buttons:"), page), 0, 1);
    layout->addWidget(m_commandList, 1, 1, 3, 1);
    layout->addWidget(m_add, 1, 2);
    layout->addWidget(m_remove, 2, 2);
    layout->addWidget(descriptionBox, 4, 0, 1, 3);
    layout->setRowStretch(3, 1);
    return page;
}

QToolBar* CCustomizeSheet::DefaultToolBar() const {
    return m_frame.findChild<QToolBar*>(QStringLiteral("Default"), Qt::FindDirectChildrenOnly);
}

QAction* CCustomizeSheet::SelectedCommand() const {
    const int row = m_commandList->currentRow();
    return row >= 0 && static_cast<std::size_t>(row) < m_commands.size() ? m_commands[row].data()
                                                                         : nullptr;
}

void CCustomizeSheet::OnCommandSelected() {
    QAction* action = SelectedCommand();
    const QToolBar* toolBar = DefaultToolBar();
    m_description->setText(action != nullptr ? action->statusTip() : QString());
    m_add->setEnabled(action != nullptr && toolBar != nullptr);
    m_remove->setEnabled(action != nullptr && toolBar != nullptr &&
                         toolBar->actions().contains(action));
}

void CCustomizeSheet::OnAdd() {
    ChangeToolbar(true);
}

void CCustomizeSheet::OnRemove() {
    ChangeToolbar(false);
}

void CCustomizeSheet::ChangeToolbar(bool add) {
    QAction* action = SelectedCommand();
    QToolBar* toolBar = DefaultToolBar();
    if (action == nullptr || toolBar == nullptr) {
        return;
    }
    if (add) {
        // A tool bar holds each action once: a command already there moves to the end.
        toolBar->addAction(action);
    } else {
        toolBar->removeAction(action);
    }
    ToolbarChanged(*toolBar);
}

void CCustomizeSheet::ToolbarChanged(QToolBar& toolBar) {
    // Kept at once, like the change itself: the next start shows the same buttons.
    SaveToolbarButtons(toolBar, m_settings);
    OnCommandSelected();
}

void CCustomizeSheet::OnTabChanged(int index) {
    if (m_bSwitchingBack) {
        return;
    }
    // The options page is left only with fields that pass their checks.
    if (m_currentTab == kCommonPage && index != kCommonPage && !m_common->OnKillActive()) {
        m_bSwitchingBack = true;
        m_tabs->setCurrentIndex(kCommonPage);
        m_bSwitchingBack = false;
        return;
    }
    m_currentTab = index;
}

void CCustomizeSheet::OnOk() {
    if (m_common->OnOk()) {
        accept();
    }
}

void CCustomizeSheet::OnApply() {
    m_common->OnApply();
}
