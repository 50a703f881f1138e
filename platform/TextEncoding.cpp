#include "TextEncoding.h"

#include <cerrno>
#include <iconv.h>
#include <vector>

namespace velmora {

bool IsValidUtf8(std::string_view text)
{
    // iconv's UTF-8 decoder refuses what is not well-formed.
    return ToUtf8(text, "UTF-8").has_value();
}

const char* CodePageOfCharSet(int charSet)
{
    switch (charSet) {
    case 128: return "SHIFT_JIS";
    case 129: return "CP949";
    case 134: return "GBK";
    case 136: return "BIG5";
    case 161: return "CP1253";
    case 162: return "CP1254";
    case 177: return "CP1255";
    case 178: return "CP1256";
    case 186: return "CP1257";
    case 204: return "CP1251";
    case 222: return "CP874";
    case 238: return "CP1250";
    default: return "CP1252";
    }
}

std::optional<std::string> ToUtf8(std::string_view text, const char* codePage)
{
    const iconv_t converter = ::iconv_open("UTF-8", codePage);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::vector<char> in(text.begin(), text.end());
    std::string out(text.size() * 4 + 16, '\0');  // no code page needs more per byte
    char* inPointer = in.data();
    std::size_t inLeft = in.size();
    char* outPointer = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = ::iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
    ::iconv_close(converter);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace velmora
