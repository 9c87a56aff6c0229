// Dialog fonts: Windows face names become the desktop's UI font with CJK coverage.
#pragma once

#include <QFont>
#include <string_view>

// The font for a template's face name and size in points. "MS Sans Serif", "MS Shell Dlg",
// "宋体" and the other Windows UI faces map to the application's UI font family with a CJK
// font (Noto Sans CJK when installed) as fallback; other faces are used when installed.
QFont DialogFont(std::string_view face, int pointSize);
