// The recently opened network files of the File menu: at most four, newest first, kept in the
// window profile ("Recent File List", File1..File4). Entry i is command 57616 + i; the entries
// stand before "退出" behind a separator of their own.
#pragma once

#include <QStringList>

#include <cstdint>
#include <functional>

class QAction;
class QMenu;

class RecentFiles {
public:
    // Reads the list from the window profile.
    RecentFiles();

    const QStringList& Files() const { return files_; }
    // Puts `path` at the top (once); the oldest beyond four drops out. Saved at once.
    void Add(const QString& path);
    // Takes out a file that no longer exists. Saved at once.
    void Remove(const QString& path);

    // Puts the entries into `fileMenu` before `exitAction` (none when the list is empty);
    // `actionFor` gives the action of a command id.
    void FillMenu(QMenu& fileMenu, QAction* exitAction, const std::function<QAction*(uint16_t)>& actionFor) const;

private:
    void Save() const;

    QStringList files_;
};
