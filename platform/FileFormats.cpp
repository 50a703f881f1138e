#include "FileFormats.h"

#include "platform/PathText.h"

#include <iterator>
#include <vector>

namespace velmora {

namespace {

bool Offered(const FileFormat& format, bool saving)
{
    return !saving || format.SaveBy != SavePath::NotSaved;
}

// "*.ogg;*.oga"
std::string PatternsOf(const FileFormat& format)
{
    std::string patterns = std::string("*") + format.Extension;
    if (format.OtherExtension != nullptr)
        patterns += std::string(";*") + format.OtherExtension;
    return patterns;
}

std::string EntryOf(const FileFormat& format)
{
    const std::string patterns = PatternsOf(format);
    return std::string(format.Label) + " Files(" + patterns + ")|" + patterns;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return parts;
        from = at + 1;
    }
}

} // namespace

const FileFormat* FormatOf(const std::string& path)
{
    for (const FileFormat& format : FileFormats) {
        if (HasExtension(path, format.Extension) ||
            (format.OtherExtension != nullptr && HasExtension(path, format.OtherExtension)))
            return &format;
    }
    return nullptr;
}

bool IsSavedUnder(const std::string& path)
{
    const FileFormat* format = FormatOf(path);
    return format == nullptr || format->SaveBy != SavePath::NotSaved;
}

std::string ExtensionsText(bool encoded)
{
    std::string text;
    for (const FileFormat& format : FileFormats) {
        if (encoded && (format.SaveBy == SavePath::CopyWorkFile || format.SaveBy == SavePath::NotSaved))
            continue;
        for (const char* extension : {format.Extension, format.OtherExtension}) {
            if (extension != nullptr)
                text += (text.empty() ? "" : ", ") + std::string(extension);
        }
    }
    return text;
}

const FileFormat* FormatOfFilterEntry(int filterIndex, bool saving)
{
    if (filterIndex >= 2 && filterIndex < 2 + FormatsBeforeAllFiles)
        return &FileFormats[filterIndex - 2];
    int entry = 3 + FormatsBeforeAllFiles;  // after every file
    for (std::size_t row = FormatsBeforeAllFiles; row < std::size(FileFormats); ++row) {
        if (!Offered(FileFormats[row], saving))
            continue;
        if (entry++ == filterIndex)
            return &FileFormats[row];
    }
    return nullptr;
}

std::string DefaultFileFilter(bool saving)
{
    std::string patterns;
    std::string entries;
    std::string later;
    for (std::size_t row = 0; row < std::size(FileFormats); ++row) {
        const FileFormat& format = FileFormats[row];
        if (!Offered(format, saving))
            continue;
        patterns += (patterns.empty() ? "" : ";") + PatternsOf(format);
        (row < FormatsBeforeAllFiles ? entries : later) += "|" + EntryOf(format);
    }
    return "All Support Files(" + patterns + ")|" + patterns + entries + "|All Files(*.*)|*.*" + later;
}

std::string FilterWithEveryFormat(const std::string& filter, bool saving)
{
    std::vector<std::string> parts = Split(filter, '|');
    if (parts.size() < 2)
        return filter;
    std::string added;
    std::string entries;
    for (std::size_t row = FormatsBeforeAllFiles; row < std::size(FileFormats); ++row) {
        const FileFormat& format = FileFormats[row];
        if (!Offered(format, saving) || filter.find(std::string("*") + format.Extension) != std::string::npos)
            continue;
        added += ";" + PatternsOf(format);
        entries += "|" + EntryOf(format);
    }
    if (added.empty())
        return filter;
    // The first entry's caption shows its patterns in brackets: those too.
    std::string& caption = parts[0];
    const std::string shown = "(" + parts[1] + ")";
    if (caption.size() >= shown.size() && caption.compare(caption.size() - shown.size(), shown.size(), shown) == 0)
        caption.insert(caption.size() - 1, added);
    parts[1] += added;
    std::string joined = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i)
        joined += "|" + parts[i];
    return joined + entries;
}

} // namespace velmora
