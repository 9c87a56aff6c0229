// Qt's own texts (standard dialogs, message-box buttons, context menus of line edits) in the
// language of the program's resources.
#pragma once

#include <QString>

// Installs Qt's translation (qtbase_<code>) for the language code of the current resources
// (string 61913: "zh", "en", ...) and removes the one of the previous language. A language
// without Qt translation, or English, leaves Qt's built-in English. Returns the code in use.
QString FollowLanguageInQt();
