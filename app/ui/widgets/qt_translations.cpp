#include "ui/widgets/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "ui/widgets/ui_text.h"

namespace {

constexpr uint32_t kTextLanguageCode = 61913;  // "zh" in the built-in resources

// Qt's translation file names for a language code of the resources.
QString QtLocaleName(const QString& code) {
    if (code.compare(QLatin1String("zh"), Qt::CaseInsensitive) == 0) return QStringLiteral("zh_CN");
    return code;
}

}  // namespace

QString FollowLanguageInQt() {
    static std::unique_ptr<QTranslator> installed;
    static QString installedCode;
    const QString code = LoadText(kTextLanguageCode).trimmed();
    if (installed && installedCode == code) return code;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    installedCode = code;
    if (code.isEmpty() || code.startsWith(QLatin1String("en"), Qt::CaseInsensitive)) return code;
    auto translator = std::make_unique<QTranslator>();
    const QString locale = QtLocaleName(code);
    if (translator->load(QStringLiteral("qtbase_") + locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        translator->load(QStringLiteral("qtbase_") + locale, QStringLiteral("/usr/share/qt6/translations"))) {
        QCoreApplication::installTranslator(translator.get());
        installed = std::move(translator);
    }
    return code;
}
