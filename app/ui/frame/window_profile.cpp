#include "ui/frame/window_profile.h"

#include <QFile>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>

#include "services/profile_file.h"
#include "services/user_settings.h"

namespace window_profile {
namespace {

QString g_file;

}  // namespace

void SetFile(const QString& path) { g_file = path; }

std::unique_ptr<QSettings> Open() {
    if (!g_file.isEmpty()) return std::make_unique<QSettings>(g_file, QSettings::IniFormat);
    // Beside the user's other settings of the program; a file at the old place is moved there.
    const std::string path = name_share::UserProfilePath(name_share::UserSettings::UserDirFromEnvironment(),
                                                         name_share::LegacyProfilePath());
    if (path.empty()) return std::make_unique<QSettings>(QStringLiteral("norvane"), QStringLiteral("Norvane"));
    return std::make_unique<QSettings>(QFile::decodeName(QByteArray::fromStdString(path)), QSettings::IniFormat);
}

bool Restore(QMainWindow& window) {
    auto profile = Open();
    const QByteArray geometry = profile->value(QStringLiteral("Geometry")).toByteArray();
    if (geometry.isEmpty() || !window.restoreGeometry(geometry)) {
        // First start: room for the toolbar and the panes' captions, within the screen. The full
        // width is taken on a screen just that wide (1280 x 800), where the captions need it.
        QSize size(1280, 820);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QSize available = screen->availableSize();
            size = size.boundedTo(QSize(available.width(), available.height() * 9 / 10));
        }
        window.resize(size.expandedTo(window.minimumSize()));
    }
    const QByteArray layout = profile->value(QStringLiteral("NormalLayout")).toByteArray();
    const bool restored = !layout.isEmpty() && window.restoreState(layout);
    profile->beginGroup(QStringLiteral("CommandBars"));
    if (profile->contains(QStringLiteral("StatusBar"))) {
        window.statusBar()->setVisible(profile->value(QStringLiteral("StatusBar")).toBool());
    }
    profile->endGroup();
    return restored;
}

void Save(QMainWindow& window, const QToolBar& toolBar) {
    auto profile = Open();
    profile->setValue(QStringLiteral("Geometry"), window.saveGeometry());
    profile->setValue(QStringLiteral("NormalLayout"), window.saveState());
    profile->beginGroup(QStringLiteral("CommandBars"));
    profile->setValue(QStringLiteral("StatusBar"), !window.statusBar()->isHidden());
    profile->setValue(QStringLiteral("ToolBar"), !toolBar.isHidden());
    profile->endGroup();
}

}  // namespace window_profile
