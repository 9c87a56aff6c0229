#include "ui/widgets/menu_builder.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/widgets/ui_text.h"

namespace {

QAction* CommandAction(QWidget& owner, const MenuNode& node, const ActionLookup& actionFor) {
    if (QAction* action = actionFor ? actionFor(node.id) : nullptr) return action;
    auto* placeholder = new QAction(QString::fromStdString(node.caption), &owner);
    placeholder->setObjectName(QString::number(node.id));
    placeholder->setEnabled(false);
    return placeholder;
}

}  // namespace

void FillMenu(QMenu& menu, const std::vector<MenuNode>& items, const ActionLookup& actionFor) {
    for (const MenuNode& node : items) {
        if (node.IsPopup()) {
            QMenu* sub = menu.addMenu(QString::fromStdString(node.caption));
            FillMenu(*sub, node.children, actionFor);
        } else if (node.IsSeparator()) {
            menu.addSeparator();
        } else {
            menu.addAction(CommandAction(menu, node, actionFor));
        }
    }
}

void FillMenuBar(QMenuBar& bar, const std::vector<MenuNode>& items, const ActionLookup& actionFor) {
    for (const MenuNode& node : items) {
        if (node.IsPopup()) {
            QMenu* menu = bar.addMenu(QString::fromStdString(node.caption));
            FillMenu(*menu, node.children, actionFor);
        } else if (node.IsSeparator()) {
            bar.addSeparator();
        } else {
            bar.addAction(CommandAction(bar, node, actionFor));
        }
    }
}

void ApplyCommandTexts(QAction& action, uint16_t id, const QString& caption) {
    action.setObjectName(QString::number(id));
    const QString hint = LoadText(id);
    const qsizetype lineBreak = hint.indexOf(QLatin1Char('\n'));
    const QString status = lineBreak < 0 ? hint : hint.left(lineBreak);
    const QString tip = lineBreak < 0 ? hint : hint.mid(lineBreak + 1);
    action.setText(caption.isEmpty() ? tip : caption);
    action.setStatusTip(status);
    action.setToolTip(tip.isEmpty() ? QString(action.text()).remove(QLatin1Char('&')) : tip);
}

std::map<uint16_t, QString> CommandCaptions(const std::vector<MenuNode>& items) {
    std::map<uint16_t, QString> captions;
    for (const MenuNode& node : items) {
        if (node.IsPopup()) {
            for (auto& [id, caption] : CommandCaptions(node.children)) captions.emplace(id, caption);
        } else if (!node.IsSeparator()) {
            captions.emplace(node.id, QString::fromStdString(node.caption));
        }
    }
    return captions;
}
