#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// True when text is well-formed UTF-8 (plain ASCII is).
bool IsValidUtf8(std::string_view text);

// The code page of a Windows font character set number (134 GB2312,
// 136 Big5, 204 Russian, 128 Shift-JIS ...) as iconv names it; Windows-1252
// for 0, 1 and any number without one of its own.
const char* CodePageOfCharSet(int charSet);

// text converted from codePage to UTF-8 with the C library's iconv;
// nothing when iconv knows no such code page or text is not valid in it.
std::optional<std::string> ToUtf8(std::string_view text, const char* codePage);

} // namespace velmora
