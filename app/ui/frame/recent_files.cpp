#include "ui/frame/recent_files.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

#include "resources/resource_ids.h"
#include "ui/frame/window_profile.h"

namespace {

constexpr int kCount = resource_ids::kRecentFileCount;

QString Key(int i) { return QStringLiteral("Recent File List/File%1").arg(i + 1); }

uint16_t EntryId(int i) { return static_cast<uint16_t>(resource_ids::kCommandFirstRecentFile + i); }

}  // namespace

RecentFiles::RecentFiles() {
    auto profile = window_profile::Open();
    for (int i = 0; i < kCount; ++i) {
        const QString file = profile->value(Key(i)).toString();
        if (!file.isEmpty()) files_.append(file);
    }
}

void RecentFiles::Add(const QString& path) {
    files_.removeAll(path);
    files_.prepend(path);
    while (files_.size() > kCount) files_.removeLast();
    Save();
}

void RecentFiles::Remove(const QString& path) {
    files_.removeAll(path);
    Save();
}

void RecentFiles::Save() const {
    auto profile = window_profile::Open();
    for (int i = 0; i < kCount; ++i) {
        if (i < files_.size()) {
            profile->setValue(Key(i), files_.at(i));
        } else {
            profile->remove(Key(i));
        }
    }
}

void RecentFiles::FillMenu(QMenu& fileMenu, QAction* exitAction,
                           const std::function<QAction*(uint16_t)>& actionFor) const {
    QAction* separator = fileMenu.findChild<QAction*>(QStringLiteral("RecentFilesSeparator"));
    for (int i = 0; i < kCount; ++i) fileMenu.removeAction(actionFor(EntryId(i)));
    if (files_.isEmpty()) {
        if (separator != nullptr) separator->setVisible(false);
        return;
    }
    if (separator == nullptr) {
        separator = new QAction(&fileMenu);
        separator->setObjectName(QStringLiteral("RecentFilesSeparator"));
        separator->setSeparator(true);
        fileMenu.insertAction(exitAction, separator);
    }
    separator->setVisible(true);
    for (int i = 0; i < files_.size(); ++i) {
        QAction* action = actionFor(EntryId(i));
        const QString& file = files_.at(i);
        action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(file).fileName()));
        action->setStatusTip(QDir::toNativeSeparators(file));
        action->setToolTip(QDir::toNativeSeparators(file));
        fileMenu.insertAction(separator, action);
    }
}
