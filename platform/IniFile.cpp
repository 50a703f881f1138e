#include "IniFile.h"

#include "File.h"
#include "PathText.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace velmora {

namespace {

// The section name of a "[name]" line, or false.
bool SectionName(const std::string& line, std::string& name)
{
    const std::string trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[')
        return false;
    const auto close = trimmed.find(']');
    if (close == std::string::npos)
        return false;
    name = Trim(trimmed.substr(1, close - 1));
    return true;
}

bool IsComment(const std::string& line)
{
    const std::string trimmed = Trim(line);
    return !trimmed.empty() && trimmed.front() == ';';
}

// The key and value of a "key=value" line, or false.
bool KeyValue(const std::string& line, std::string& key, std::string& value)
{
    if (IsComment(line))
        return false;
    const auto eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return !key.empty();
}

// Section names compare ignoring ASCII case: the index keeps them lower.
std::string LowerAscii(const std::string& text)
{
    std::string lower = text;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::string Unquote(const std::string& value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

IniFile::IniFile(std::string path) : path_(std::move(path))
{
    if (std::optional<std::string> text = ReadSmallFile(path_, MaxBytes)) {
        Parse(std::move(*text));
        return;
    }
    // Something stands there that was not read (a directory, a FIFO, a
    // file too long to be one of ours): it is never written over.
    std::error_code error;
    writable_ = std::filesystem::symlink_status(path_, error).type() == std::filesystem::file_type::not_found;
}

IniFile IniFile::FromText(std::string path, std::string text)
{
    IniFile file;
    file.path_ = std::move(path);
    file.Parse(std::move(text));
    return file;
}

void IniFile::Parse(std::string text)
{
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    if (text.find("\r\n") != std::string::npos)
        newline_ = "\r\n";
    endsWithNewline_ = text.empty() || text.back() == '\n';
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines_.push_back(std::move(line));
        start = end + 1;
    }
}

IniFile IniFile::InMemory()
{
    IniFile file;
    file.writable_ = false;
    return file;
}

int IniFile::SectionLine(const std::string& section) const
{
    if (!indexed_) {
        sectionLines_.clear();
        for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
            std::string name;
            if (SectionName(lines_[static_cast<std::size_t>(i)], name))
                sectionLines_.emplace(LowerAscii(name), i);  // the first one stays
        }
        indexed_ = true;
    }
    const auto it = sectionLines_.find(LowerAscii(section));
    return it == sectionLines_.end() ? -1 : it->second;
}

bool IniFile::HasSection(const std::string& section) const
{
    return SectionLine(section) >= 0;
}

IniFile::Located IniFile::Locate(const std::string& section, const std::string& key) const
{
    Located found;
    bool inSection = false;
    const int first = SectionLine(section);
    if (first < 0)
        return found;
    for (int i = first; i < static_cast<int>(lines_.size()); ++i) {
        std::string name;
        if (SectionName(lines_[static_cast<std::size_t>(i)], name)) {
            if (inSection)
                break;  // the first matching section ends here
            if (EqualsIgnoringCase(name, section)) {
                inSection = true;
                found.SectionLine = i;
                found.LastKeyLine = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        const std::string& line = lines_[static_cast<std::size_t>(i)];
        if (!Trim(line).empty())
            found.LastKeyLine = i;
        std::string k, v;
        if (found.KeyLine < 0 && KeyValue(line, k, v) && EqualsIgnoringCase(k, key))
            found.KeyLine = i;
    }
    return found;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const
{
    const Located found = Locate(section, key);
    if (found.KeyLine < 0)
        return defaultValue;
    std::string k, value;
    KeyValue(lines_[static_cast<std::size_t>(found.KeyLine)], k, value);
    return Unquote(value);
}

void IniFile::SetString(const std::string& section, const std::string& key, const std::string& value)
{
    const Located found = Locate(section, key);
    const std::string line = key + "=" + value;
    if (found.KeyLine >= 0) {
        lines_[static_cast<std::size_t>(found.KeyLine)] = line;
    } else if (found.SectionLine >= 0) {
        const auto at = static_cast<std::size_t>(found.LastKeyLine + 1);
        // Sections below move down a line: the index is made again.
        indexed_ = indexed_ && at == lines_.size();
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
    } else {
        if (indexed_)
            sectionLines_.emplace(LowerAscii(section), static_cast<int>(lines_.size()));
        lines_.push_back("[" + section + "]");
        lines_.push_back(line);
        endsWithNewline_ = true;
    }
}

std::string IniFile::Text() const
{
    std::string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        text += lines_[i];
        if (i + 1 < lines_.size() || endsWithNewline_)
            text += newline_;
    }
    return text;
}

bool IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    SetString(section, key, value);
    if (!writable_)
        return false;
    return WriteWholeFile(path_, Text());
}

} // namespace velmora
