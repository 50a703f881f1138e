#include "FileFormats.h"

#include "platform/PathText.h"

#include <iterator>

namespace velmora {

const FileFormat* FormatOf(const std::string& path)
{
    for (const FileFormat& format : FileFormats) {
        if (HasExtension(path, format.Extension))
            return &format;
    }
    return nullptr;
}

const FileFormat* FormatOfFilterEntry(int filterIndex)
{
    const int row = filterIndex - 2;  // after "All Support Files"
    return row >= 0 && row < static_cast<int>(std::size(FileFormats)) ? &FileFormats[row] : nullptr;
}

std::string DefaultFileFilter()
{
    std::string patterns;
    std::string entries;
    for (const FileFormat& format : FileFormats) {
        const std::string pattern = std::string("*") + format.Extension;
        patterns += (patterns.empty() ? "" : ";") + pattern;
        entries += std::string("|") + format.Label + " Files(" + pattern + ")|" + pattern;
    }
    return "All Support Files(" + patterns + ")|" + patterns + entries + "|All Files(*.*)|*.*";
}

} // namespace velmora
