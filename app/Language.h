#pragma once

#include "platform/IniFile.h"

#include <QFont>

#include <string>
#include <vector>

class QLocale;

namespace velmora {

// The language file for a system locale: Simplified Chinese of China or
// Singapore "ChineseGB.ini", Traditional Chinese of Taiwan or Hong Kong
// "ChineseBig5.ini", Russian "Russian.ini", anything else "English.ini".
std::string DefaultLanguageFile(const QLocale& locale);

// The file names of the language files in folder (a KVLanguage folder):
// every *.ini that is a regular file, sorted ignoring case.
std::vector<std::string> LanguageFileNames(const std::string& folder);

// The language file name (Kelvane.ini's Language=) of folder, or English.ini
// of folder when that cannot be read as a language file, or an empty one.
IniFile ReadChosenLanguage(const std::string& folder, const std::string& name);

// The windows' font a language asks for: LanguageProperty/FontName
// ("Tahoma"), FontSize in points (8, also for a value that is not a whole
// number) and CharSet (1), which picks fonts that cover its writing system
// where the named font is missing or lacks the glyphs.
QFont LanguageFont(const IniFile& language);

} // namespace velmora
