#include "ui/frame/command_bars.h"

#include <QAccessible>
#include <QAction>
#include <QCursor>
#include <QFile>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include "resources/resource_ids.h"
#include "resources/resource_manager.h"
#include "services/global.h"
#include "ui/frame/command_table.h"
#include "ui/frame/language_menu.h"
#include "ui/frame/recent_files.h"
#include "ui/widgets/menu_builder.h"
#include "ui/widgets/ui_text.h"

namespace {

namespace ids = resource_ids;

constexpr uint32_t kToolBarTitle = 10012;  // "标准"

// Toolbar 128 in order; 0 is a separator.
constexpr uint16_t kToolBarButtons[] = {ids::kCommandAddNetwork,
                                        ids::kCommandDeleteNetwork,
                                        ids::kCommandStart,
                                        ids::kCommandStop,
                                        0,
                                        ids::kCommandProperties,
                                        0,
                                        ids::kCommandAddSlave,
                                        ids::kCommandDeleteSlave,
                                        ids::kCommandDeleteAllSlaves,
                                        ids::kCommandSearch,
                                        ids::kCommandCommissionNode,
                                        ids::kCommandExplicit,
                                        0,
                                        ids::kCommandAbout};

// Commands with a small icon in the menus.
constexpr uint16_t kMenuIcons[] = {ids::kCommandExit,        ids::kCommandLogClear, ids::kCommandLogSave,
                                   ids::kCommandLogSettings, ids::kCommandImport,   ids::kCommandExport,
                                   ids::kCommandParameters,  ids::kCommandIoConfig, ids::kCommandHelp};

// Buttons that show their caption beside the icon.
bool ShowsCaption(uint16_t id) {
    return (id >= 32786 && id <= 32790) || (id >= 32792 && id <= 32796) || (id >= 32799 && id <= 32805);
}

// The ranges whose texts are not the resources' (EDS names, recent files, languages).
bool HasOwnTexts(uint16_t id) {
    return (id >= ids::kCommandFirstEdsEntry && id <= ids::kCommandLastEdsEntry) ||
           (id >= ids::kCommandFirstRecentFile && id < ids::kCommandFirstRecentFile + ids::kRecentFileCount) ||
           id >= ids::kCommandFirstLanguage;
}

QIcon CommandIcon(uint16_t id) {
    const QString path = QStringLiteral(":/icons/tb_%1.svg").arg(id);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Empties a menu that is being replaced: the command actions it shows belong to the table and
// must not stay associated with it.
void Retire(QMenu* menu) {
    for (QMenu* sub : menu->findChildren<QMenu*>()) sub->clear();
    menu->clear();
    menu->deleteLater();
}

}  // namespace

CommandBars::CommandBars(QMainWindow& window, CommandTable& commands, const RecentFiles& recent,
                         std::function<void()> updateCommands)
    : QObject(&window),
      window_(window),
      commands_(commands),
      recent_(recent),
      updateCommands_(std::move(updateCommands)) {
    CreateToolBar();
}

CommandBars::~CommandBars() = default;

void CommandBars::CreateToolBar() {
    toolBar_ = new QToolBar(&window_);
    toolBar_->setObjectName(QString::number(ids::kMainToolBar));
    toolBar_->setIconSize(QSize(20, 20));
    window_.addToolBar(Qt::TopToolBarArea, toolBar_);
    connect(toolBar_, &QToolBar::visibilityChanged, this, [this] { updateCommands_(); });

    addSlaveMenu_ = new QMenu(&window_);
    addSlaveMenu_->setObjectName(QStringLiteral("AddSlaveDropDown"));
    connect(addSlaveMenu_, &QMenu::aboutToShow, this, [this] {
        AddSlaveMenu();
        updateCommands_();
    });

    for (uint16_t id : kToolBarButtons) {
        if (id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = commands_.Action(id);
        if (action == nullptr) continue;
        action->setIcon(CommandIcon(id));
        if (id == ids::kCommandAddSlave) {
            // The add-slave button opens the list of EDS names.
            addSlaveButton_ = new QToolButton(toolBar_);
            addSlaveButton_->setObjectName(QString::number(id));
            addSlaveButton_->setDefaultAction(action);
            addSlaveButton_->setMenu(addSlaveMenu_);
            addSlaveButton_->setPopupMode(QToolButton::InstantPopup);
            addSlaveButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            addSlaveButton_->setIconSize(toolBar_->iconSize());
            toolBar_->addWidget(addSlaveButton_);
            continue;
        }
        toolBar_->addAction(action);
        if (auto* button = qobject_cast<QToolButton*>(toolBar_->widgetForAction(action))) {
            button->setObjectName(QString::number(id));
            button->setToolButtonStyle(ShowsCaption(id) ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
        }
    }
    for (uint16_t id : kMenuIcons) {
        if (QAction* action = commands_.Action(id)) action->setIcon(CommandIcon(id));
    }
}

void CommandBars::BuildMenuBar() {
    QMenuBar* bar = window_.menuBar();
    for (QMenu* old : bar->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) Retire(old);
    bar->clear();
    if (contextMenu_ != nullptr) Retire(contextMenu_);
    contextMenu_ = nullptr;
    ForgetAccessibleItems();
    FillMenuBar(*bar, LoadMenuTree(ids::kMainMenu), [this](uint16_t id) { return commands_.Action(id); });
    for (QAction* top : bar->actions()) {
        if (QMenu* menu = top->menu()) Prepare(menu);
    }
    if (QMenu* language = LanguageMenu()) {
        connect(language, &QMenu::aboutToShow, this, &CommandBars::FillLanguageMenu);
    }
    if (QMenu* file = MenuBarMenuOf(ids::kCommandExit)) {
        connect(file, &QMenu::aboutToShow, this, &CommandBars::FillRecentFiles);
    }
    FillRecentFiles();
    FillLanguageMenu();
}

void CommandBars::ApplyTexts() {
    std::map<uint16_t, QString> captions = CommandCaptions(LoadMenuTree(ids::kContextMenu));
    for (auto& [id, caption] : CommandCaptions(LoadMenuTree(ids::kMainMenu))) captions[id] = caption;
    for (QAction* action : commands_.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
        const auto id = static_cast<uint16_t>(action->data().toInt());
        if (HasOwnTexts(id)) continue;
        auto it = captions.find(id);
        ApplyCommandTexts(*action, id, it == captions.end() ? QString() : it->second);
    }
    // Toolbar buttons show the short name of the hint (its tool-tip part), as "启动".
    for (uint16_t id : kToolBarButtons) {
        if (QAction* action = id != 0 ? commands_.Action(id) : nullptr) action->setIconText(action->toolTip());
    }
    // Drop-down entries take the names of the EDS files.
    const std::vector<std::string>& names = GetGlobal().EdsNames();
    for (size_t i = 0; i < names.size() && ids::kCommandFirstEdsEntry + i <= ids::kCommandLastEdsEntry; ++i) {
        if (QAction* action = commands_.Action(static_cast<uint16_t>(ids::kCommandFirstEdsEntry + i))) {
            action->setText(FromUtf8(names[i]));
        }
    }
    toolBar_->setWindowTitle(LoadText(kToolBarTitle));
    toolBar_->setAccessibleName(toolBar_->windowTitle());
    // Qt's accessible interface of a tool bar keeps the title it was made with: a new one is
    // made on the next query.
    if (QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(toolBar_))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(bar));
    ForgetAccessibleItems();
}

QMenu* CommandBars::MenuBarMenuOf(uint16_t id) const {
    QAction* action = commands_.Action(id);
    for (QAction* top : window_.menuBar()->actions()) {
        if (top->menu() != nullptr && top->menu()->actions().contains(action)) return top->menu();
    }
    return nullptr;
}

QMenu* CommandBars::LanguageMenu() const { return MenuBarMenuOf(ids::kCommandLanguagePlaceholder); }

void CommandBars::FillLanguageMenu() {
    QMenu* menu = LanguageMenu();
    if (menu == nullptr) return;
    ::FillLanguageMenu(*menu, GetGlobal().Languages(), [this](uint16_t id) { return commands_.Action(id); });
    commands_.UpdateAll();
}

void CommandBars::FillRecentFiles() {
    QMenu* file = MenuBarMenuOf(ids::kCommandExit);
    if (file == nullptr) return;
    recent_.FillMenu(*file, commands_.Action(ids::kCommandExit), [this](uint16_t id) { return commands_.Action(id); });
    commands_.UpdateAll();
}

QMenu* CommandBars::ContextMenu(int subIndex) {
    if (contextMenu_ == nullptr) {
        // Menu 20003, loaded once through the language resources (again after a language change).
        contextMenu_ = new QMenu(&window_);
        contextMenu_->setObjectName(QString::number(ids::kContextMenu));
        FillMenu(*contextMenu_, LoadMenuTree(ids::kContextMenu), [this](uint16_t id) { return commands_.Action(id); });
        for (QMenu* menu : contextMenu_->findChildren<QMenu*>()) Prepare(menu);
    }
    int index = 0;
    for (QAction* entry : contextMenu_->actions()) {
        if (entry->menu() == nullptr) continue;
        if (index++ == subIndex) return entry->menu();
    }
    return nullptr;
}

QMenu* CommandBars::AddSlaveMenu() {
    if (addSlaveMenu_ == nullptr) return nullptr;
    if (addSlaveMenu_->isEmpty()) {
        // Built once, from the EDS names of CGlobal, in list order.
        const std::vector<std::string>& names = GetGlobal().EdsNames();
        for (size_t i = 0; i < names.size(); ++i) AppendEdsEntry(static_cast<int>(i));
    }
    return addSlaveMenu_->isEmpty() ? nullptr : addSlaveMenu_.data();
}

void CommandBars::ShowImportedEds(std::optional<int> position) {
    if (position && addSlaveMenu_ != nullptr && !addSlaveMenu_->isEmpty()) AppendEdsEntry(*position);
}

void CommandBars::AppendEdsEntry(int position) {
    const std::vector<std::string>& names = GetGlobal().EdsNames();
    if (position < 0 || static_cast<size_t>(position) >= names.size()) return;
    const int id = ids::kCommandFirstEdsEntry + position;
    if (id > ids::kCommandLastEdsEntry) return;
    QAction* action = commands_.Action(static_cast<uint16_t>(id));
    action->setText(FromUtf8(names[static_cast<size_t>(position)]));
    if (!addSlaveMenu_->actions().contains(action)) addSlaveMenu_->addAction(action);
}

void CommandBars::PopUpAddSlaveMenu() {
    QMenu* menu = AddSlaveMenu();
    if (menu == nullptr) return;
    QPoint at = QCursor::pos();
    if (addSlaveButton_ != nullptr && addSlaveButton_->isVisible() && addSlaveButton_->underMouse()) {
        at = addSlaveButton_->mapToGlobal(QPoint(0, addSlaveButton_->height()));
    }
    menu->popup(at);
}

void CommandBars::Prepare(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        updateCommands_();
        ForgetAccessibleItems(menu->actions());
    });
}

void CommandBars::ForgetAccessibleItems() {
    ForgetAccessibleItems(commands_.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly));
}

void CommandBars::ForgetAccessibleItems(const QList<QAction*>& actions) {
    for (QAction* action : actions) {
        if (QAccessibleInterface* item = QAccessible::queryAccessibleInterface(action)) {
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(item));
        }
    }
}
