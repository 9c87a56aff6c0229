#include "ui/widgets/ui_text.h"

#include "resources/resource_ids.h"
#include "services/global.h"

QString LoadText(uint32_t id) { return QString::fromStdString(GetGlobal().LoadText(id)); }

QString FileFilter(uint32_t id, const char* patterns) {
    const QString name = LoadText(id);
    const QString wanted = QString::fromLatin1(patterns);
    // A name that already ends in exactly these patterns ("Text(*.txt)") is the filter itself.
    if (name.endsWith(QLatin1Char('(') + wanted + QLatin1Char(')'))) return name;
    return QStringLiteral("%1 (%2)").arg(name, wanted);
}
