#include "ui/widgets/language_events.h"

LanguageNotifier& LanguageNotifier::Instance() {
    static LanguageNotifier notifier;
    return notifier;
}

void LanguageNotifier::Notify() { emit languageChanged(); }
