#include "ui/widgets/ui_text.h"

#include "services/global.h"

QString LoadText(uint32_t id) { return QString::fromStdString(GetGlobal().LoadText(id)); }
