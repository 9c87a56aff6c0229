#include "ui/frame/language_menu.h"

#include <QAction>
#include <QMenu>

#include "resources/resource_ids.h"

int FillLanguageMenu(QMenu& menu, const std::vector<name_share::LanguageEntry>& languages,
                     const std::function<QAction*(uint16_t)>& actionFor) {
    QAction* placeholder = actionFor(resource_ids::kCommandLanguagePlaceholder);
    const QList<QAction*> entries = menu.actions();
    for (QAction* entry : entries) {
        if (entry != placeholder) menu.removeAction(entry);
    }
    int added = 0;
    for (size_t i = 0;
         i < languages.size() && resource_ids::kCommandFirstLanguage + i <= resource_ids::kCommandLastLanguage; ++i) {
        const std::string& caption = languages[i].caption;
        if (caption.empty()) break;
        QAction* action = actionFor(static_cast<uint16_t>(resource_ids::kCommandFirstLanguage + i));
        if (action == nullptr) break;
        const QString text = QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
        action->setText(text);
        action->setStatusTip(text);
        menu.addAction(action);
        ++added;
    }
    if (placeholder != nullptr) placeholder->setVisible(added == 0);
    return added;
}
