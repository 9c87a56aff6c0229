#include "ui/frame/command_table.h"

#include <QAction>

CommandTable::CommandTable(QObject* parent) : QObject(parent) {}

CommandTable::~CommandTable() = default;

QAction* CommandTable::Add(uint16_t id, Handler run, Rule enabled, Rule checked) {
    Entry& entry = entries_[id];
    if (entry.action == nullptr) {
        entry.action = new QAction(this);  // owned by the table through the QObject tree
        entry.action->setObjectName(QString::number(id));
        entry.action->setData(static_cast<int>(id));
        connect(entry.action, &QAction::triggered, this, [this, id] { Execute(id); });
    }
    entry.run = std::move(run);
    entry.enabled = std::move(enabled);
    entry.checked = std::move(checked);
    entry.action->setCheckable(static_cast<bool>(entry.checked));
    if (entry.enabled) entry.action->setEnabled(entry.enabled());
    if (entry.checked) entry.action->setChecked(entry.checked());
    return entry.action;
}

QAction* CommandTable::Action(uint16_t id) const {
    auto it = entries_.find(id);
    return it == entries_.end() ? nullptr : it->second.action;
}

bool CommandTable::Execute(uint16_t id) {
    auto it = entries_.find(id);
    if (it == entries_.end()) return false;
    // The rule is asked again: a menu may have been opened before the state changed.
    if (it->second.enabled && !it->second.enabled()) {
        it->second.action->setEnabled(false);
        return false;
    }
    // The handler may replace the entry (or trigger a re-registration); run a copy.
    Handler run = it->second.run;
    if (run) run();
    UpdateAll();
    return true;
}

void CommandTable::UpdateAll() {
    for (auto& [id, entry] : entries_) {
        if (entry.enabled) entry.action->setEnabled(entry.enabled());
        if (entry.checked) {
            const bool on = entry.checked();
            if (entry.action->isChecked() != on) {
                // setChecked on a checkable action does not trigger it; only toggled fires.
                entry.action->setChecked(on);
            }
        }
    }
}

void CommandTable::SetTexts(uint16_t id, const QString& caption, const QString& hint) {
    QAction* action = Action(id);
    if (action == nullptr) return;
    if (!caption.isEmpty()) action->setText(caption);
    // The hint is "status-bar description\ntool tip"; without a line break both are the same.
    const qsizetype cut = hint.indexOf(QLatin1Char('\n'));
    const QString status = cut < 0 ? hint : hint.left(cut);
    const QString tip = cut < 0 ? hint : hint.mid(cut + 1);
    action->setStatusTip(status);
    action->setToolTip(tip.isEmpty() ? action->text() : tip);
}
