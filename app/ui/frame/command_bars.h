// The command bars of the main window: the menu bar (menu 128), toolbar 128 with the add-slave
// drop-down, the context menus (menu 20003), the "&Language" pop-up and the recent files of the
// File menu, and the texts of every command from the language resources. All of them show the
// actions of the command table, so one rule drives every place a command appears.
#pragma once

#include <QObject>
#include <QList>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <optional>

class CommandTable;
class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QToolButton;
class RecentFiles;

class CommandBars : public QObject {
    Q_OBJECT
public:
    // `updateCommands` re-evaluates the rules; it runs before any menu opens.
    CommandBars(QMainWindow& window, CommandTable& commands, const RecentFiles& recent,
                std::function<void()> updateCommands);
    ~CommandBars() override;

    QToolBar* ToolBar() const { return toolBar_; }
    QToolButton* AddSlaveButton() const { return addSlaveButton_; }

    // (Re)builds the menu bar from menu 128 in the current language, with the languages and the
    // recent files in place; the context menus are built again on their next use.
    void BuildMenuBar();
    // Captions and hints of every command, the toolbar's title.
    void ApplyTexts();

    // The "&Language" pop-up of the menu bar; FillLanguageMenu lists the languages in it.
    QMenu* LanguageMenu() const;
    void FillLanguageMenu();
    // Puts the recent files into the File menu.
    void FillRecentFiles();

    // Sub-menu `subIndex` of menu 20003, built on first use; nullptr when it does not exist.
    QMenu* ContextMenu(int subIndex);

    // The add-slave drop-down, built on first use from the EDS names; nullptr while there are
    // none. AppendEdsEntry adds the name at `position` of the EDS list after an import.
    QMenu* AddSlaveMenu();
    void AppendEdsEntry(int position);
    // After an EDS import: the name at `position` of the EDS list (none: nothing was imported)
    // joins a drop-down already built; one built later lists it anyway.
    void ShowImportedEds(std::optional<int> position);
    // The handler of "添加从站": the drop-down under its button, else at the cursor.
    void PopUpAddSlaveMenu();

private:
    void CreateToolBar();
    // The menu of the menu bar that shows command `id`.
    QMenu* MenuBarMenuOf(uint16_t id) const;
    // Re-evaluates the rules before `menu` opens and lets its entries be described anew.
    void Prepare(QMenu* menu);
    // Forgets the accessibility items of the command actions: each item names one menu, and an
    // action is shown by several (menu bar, context menus) and moves to rebuilt ones.
    void ForgetAccessibleItems();
    void ForgetAccessibleItems(const QList<QAction*>& actions);

    QMainWindow& window_;
    CommandTable& commands_;
    const RecentFiles& recent_;
    std::function<void()> updateCommands_;
    QToolBar* toolBar_ = nullptr;
    QToolButton* addSlaveButton_ = nullptr;
    QPointer<QMenu> addSlaveMenu_;
    QPointer<QMenu> contextMenu_;  // menu 20003, its pop-ups are its sub-menus
};
