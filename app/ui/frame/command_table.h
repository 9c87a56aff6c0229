// The command table of the main window: one QAction per command id (objectName = the decimal
// id), with its handler, its enabled rule and its checked rule. The menu bar, the toolbar, the
// context menus and the property pane's toolbar all show these same actions, so one rule
// drives every place a command appears.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QAction;

class CommandTable : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void()>;
    using Rule = std::function<bool()>;

    explicit CommandTable(QObject* parent = nullptr);
    ~CommandTable() override;

    // Registers command `id`: `run` when triggered, `enabled` (none: always) and `checked`
    // (none: not checkable). Registering an id again replaces its handler and rules.
    QAction* Add(uint16_t id, Handler run, Rule enabled = {}, Rule checked = {});
    // The action of command `id`; nullptr when the table has no such command.
    QAction* Action(uint16_t id) const;
    bool Has(uint16_t id) const { return Action(id) != nullptr; }
    // Runs command `id` when it is enabled; false when it is unknown or disabled.
    bool Execute(uint16_t id);
    // Re-evaluates every enabled and checked rule.
    void UpdateAll();
    // Texts: caption (menu text) and hint ("status-bar description\ntool tip").
    void SetTexts(uint16_t id, const QString& caption, const QString& hint);

private:
    struct Entry {
        QAction* action = nullptr;  // owned by the table (QObject child)
        Handler run;
        Rule enabled;
        Rule checked;
    };
    std::map<uint16_t, Entry> entries_;
};
