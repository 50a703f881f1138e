#pragma once

#include <QTranslator>

#include <memory>
#include <string>

namespace velmora {

class IniFile;

// Qt's own texts - the file dialogs, the buttons of message boxes, the
// names of keys in menus - in the language the user chose.  The program's
// texts come from its language files; these come from the translations
// Qt ships (qtbase_*.qm in Qt's translations folder).
class QtTranslations {
public:
    // Installs Qt's translation for the language of languageFile (a name
    // such as "German.ini" whose contents are language), in place of the
    // one installed before; English, or a language Qt has no translation
    // for, leaves Qt's texts in English.
    void Switch(const std::string& languageFile, const IniFile& language);

    // The locale Qt's texts are in ("de", "zh_CN"); empty for English.
    const std::string& Locale() const { return locale_; }

private:
    std::unique_ptr<QTranslator> translator_;
    std::string locale_;
    bool tried_ = false;
};

// The locale of a language file: its [LanguageProperty] Locale, else the
// one its name stands for ("ChineseGB.ini" is "zh_CN"); empty for English
// and for names it does not know.
std::string QtLocaleFor(const std::string& languageFile, const IniFile& language);

} // namespace velmora
