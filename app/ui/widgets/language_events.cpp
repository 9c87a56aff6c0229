#include "ui/widgets/language_events.h"

#include "ui/widgets/qt_translations.h"

LanguageNotifier& LanguageNotifier::Instance() {
    static LanguageNotifier notifier;
    return notifier;
}

void LanguageNotifier::Notify() {
    FollowLanguageInQt();
    emit languageChanged();
}
