// Records the files the program hands to the desktop while it lives: it stands in for the
// desktop's file handler (QDesktopServices), so that tests open nothing outside the program.
#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QUrl>

#include <string>
#include <vector>

namespace ui_test {

class OpenedFiles : public QObject {
    Q_OBJECT
public:
    OpenedFiles() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~OpenedFiles() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    std::vector<std::string> paths;

public slots:
    void Open(const QUrl& url) { paths.push_back(url.toLocalFile().toStdString()); }
};

}  // namespace ui_test
