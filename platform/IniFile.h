#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace velmora {

// An INI file read and written the way Windows' profile functions do it,
// which is what the configuration and language files are written for:
//   - section and key names compare ignoring ASCII case; the first match
//     wins;
//   - blanks around names and values are trimmed, and a value enclosed in a
//     pair of double or single quotes loses them;
//   - a ';' starts a comment only at the beginning of a line (after
//     blanks); lines may be of any length; a missing file, section or key
//     reads as the default;
//   - writing one key rewrites the file with every other line kept as it
//     was: the key's line is replaced, or a new line is added at the end of
//     its section, or a new section at the end of the file.
// The file is read when the object is made; WriteString writes at once.
// Only a regular file of at most MaxBytes is read: anything else under the
// name reads as empty and is never written over.
class IniFile {
public:
    static constexpr std::uint64_t MaxBytes = 4u << 20;

    explicit IniFile(std::string path);

    // An INI file whose content is text (already read and decoded) rather
    // than what is on the disk at path.
    static IniFile FromText(std::string path, std::string text);
    // An empty one that lives in memory only (its Text is for the caller
    // to store).
    static IniFile InMemory();

    const std::string& Path() const { return path_; }

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;

    // False when the file could not be written.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);

    // The key set as WriteString sets it, in memory only; and the whole
    // text as WriteString would write it.  Setting the keys of the last
    // section one after another costs no more than appending them.
    void SetString(const std::string& section, const std::string& key, const std::string& value);
    std::string Text() const;

    // Whether the section is there (with or without keys).
    bool HasSection(const std::string& section) const;

private:
    IniFile() = default;
    void Parse(std::string text);

    struct Located {
        int SectionLine = -1;  // the "[section]" line, -1 when absent
        int KeyLine = -1;      // the key's line, -1 when absent
        int LastKeyLine = -1;  // the last non-blank line of the section
    };
    Located Locate(const std::string& section, const std::string& key) const;
    // The line of the first section named section (ignoring case), or -1;
    // from an index of the sections' first lines, made when first asked.
    int SectionLine(const std::string& section) const;

    std::string path_;
    bool writable_ = true;
    std::vector<std::string> lines_;
    // Each section name (lower case) to the line of its first "[name]";
    // empty until first used, and again whenever lines move.
    mutable std::unordered_map<std::string, int> sectionLines_;
    mutable bool indexed_ = false;
    std::string newline_ = "\n";
    bool endsWithNewline_ = true;
};

} // namespace velmora
