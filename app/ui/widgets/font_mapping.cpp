#include "ui/widgets/font_mapping.h"

#include <QApplication>
#include <QFontDatabase>
#include <QSet>
#include <QStringList>

namespace {

// Face names of the Windows user interface that have no meaning on this desktop.
bool IsWindowsUiFace(const QString& face) {
    static const QSet<QString> faces = {
        "ms sans serif", "ms shell dlg",    "ms shell dlg 2", "microsoft sans serif",
        "system",        "tahoma",          "segoe ui",       "arial",
        "宋体",          "simsun",          "新宋体",         "nsimsun",
        "微软雅黑",      "microsoft yahei", "黑体",           "simhei",
    };
    return face.isEmpty() || faces.contains(face.toLower());
}

// Installed families that cover Chinese, best first.
const QStringList& CjkFamilies() {
    static const QStringList families = [] {
        QStringList found;
        const QStringList installed = QFontDatabase::families();
        for (const char* name :
             {"Noto Sans CJK SC", "Noto Sans SC", "Source Han Sans SC", "WenQuanYi Micro Hei", "Droid Sans Fallback"}) {
            if (installed.contains(QString::fromUtf8(name), Qt::CaseInsensitive)) found << QString::fromUtf8(name);
        }
        return found;
    }();
    return families;
}

}  // namespace

QFont DialogFont(std::string_view face, int pointSize) {
    QFont font = QApplication::font();
    const QString name = QString::fromUtf8(face.data(), static_cast<qsizetype>(face.size())).trimmed();
    QStringList families;
    if (!IsWindowsUiFace(name) && QFontDatabase::families().contains(name, Qt::CaseInsensitive)) families << name;
    families << QApplication::font().family();
    for (const QString& cjk : CjkFamilies()) {
        if (!families.contains(cjk, Qt::CaseInsensitive)) families << cjk;
    }
    font.setFamilies(families);
    font.setPointSizeF(pointSize > 0 ? pointSize : 8);
    return font;
}
