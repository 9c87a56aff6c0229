// The language-change notification of the window layer: after the installed resource manager
// was switched, Notify() tells every window to reload its texts.
#pragma once

#include <QObject>

class LanguageNotifier : public QObject {
    Q_OBJECT
public:
    static LanguageNotifier& Instance();
    // Emits languageChanged() (on the calling thread, the UI thread).
    void Notify();

signals:
    void languageChanged();

private:
    LanguageNotifier() = default;
};
