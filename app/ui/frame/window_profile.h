// The main window's per-user profile (QSettings beside the user's other settings of the
// program): the window geometry, the layout of toolbar and panes ("NormalLayout"), the bars
// shown ("CommandBars") and the recent files. Tests point it at a file of their own.
#pragma once

#include <QString>

#include <memory>

class QMainWindow;
class QSettings;
class QToolBar;

namespace window_profile {

// Uses the settings file `path` from now on (empty: the user's profile).
void SetFile(const QString& path);
std::unique_ptr<QSettings> Open();

// Restores the geometry (first start: a size that fits the screen), the layout and the status
// bar's visibility.
bool Restore(QMainWindow& window);
// Saves what Restore reads, and whether the toolbar is shown.
void Save(QMainWindow& window, const QToolBar& toolBar);

}  // namespace window_profile
