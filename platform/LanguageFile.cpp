#include "LanguageFile.h"

#include "TextEncoding.h"

#include "File.h"

#include <charconv>

namespace velmora {

std::optional<IniFile> OpenLanguageFile(const std::string& path)
{
    std::optional<std::string> read = ReadSmallFile(path, IniFile::MaxBytes);
    if (!read)
        return std::nullopt;
    std::string text = std::move(*read);
    if (IsValidUtf8(text))
        return IniFile::FromText(path, std::move(text));

    // The character set is digits, the same in every code page.
    const std::string charSetText = IniFile::FromText(path, text).ReadString("LanguageProperty", "CharSet", "1");
    int charSet = 1;
    std::from_chars(charSetText.data(), charSetText.data() + charSetText.size(), charSet);
    if (auto decoded = ToUtf8(text, CodePageOfCharSet(charSet)))
        return IniFile::FromText(path, std::move(*decoded));
    return IniFile::FromText(path, std::move(text));
}

} // namespace velmora
