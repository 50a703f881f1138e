#include "QtTranslations.h"

#include "platform/IniFile.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>

#include <algorithm>
#include <cctype>
#include <utility>

namespace velmora {

std::string QtLocaleFor(const std::string& languageFile, const IniFile& language)
{
    const std::string own = language.ReadString("LanguageProperty", "Locale", "");
    if (!own.empty())
        return own == "en" ? std::string() : own;
    std::string stem = languageFile.substr(0, languageFile.rfind('.'));
    std::transform(stem.begin(), stem.end(), stem.begin(), [](unsigned char c) { return std::tolower(c); });
    static const std::pair<const char*, const char*> known[] = {
        {"german", "de"},   {"french", "fr"},      {"spanish", "es"},        {"russian", "ru"},
        {"japanese", "ja"}, {"chinesegb", "zh_CN"}, {"chinesebig5", "zh_TW"},
    };
    for (const auto& [name, locale] : known) {
        if (stem == name)
            return locale;
    }
    return {};
}

void QtTranslations::Switch(const std::string& languageFile, const IniFile& language)
{
    const std::string locale = QtLocaleFor(languageFile, language);
    // Once per language chosen: activations do not try a missing one again.
    if (locale == locale_ && tried_)
        return;
    tried_ = true;
    if (translator_ != nullptr) {
        QCoreApplication::removeTranslator(translator_.get());
        translator_.reset();
    }
    locale_ = locale;
    if (locale.empty())
        return;
    auto translator = std::make_unique<QTranslator>();
    // Without Qt's translations installed the texts stay English.
    if (!translator->load(QStringLiteral("qtbase_") + QString::fromStdString(locale),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(translator.get());
    translator_ = std::move(translator);
}

} // namespace velmora
