#pragma once

#include "IniFile.h"

#include <optional>
#include <string>

namespace velmora {

// A language file: an INI file in UTF-8 (with or without a byte-order
// mark).  A file that is not valid UTF-8 was made for another system and
// is decoded from the code page of its LanguageProperty/CharSet, so that
// old language files keep working.  nullopt when there is no regular file
// of at most IniFile::MaxBytes to read.
std::optional<IniFile> OpenLanguageFile(const std::string& path);

} // namespace velmora
