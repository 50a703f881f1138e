#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The extension of a path: the text from the last dot of its file name on,
// dot included, or empty when the file name has no dot.
std::string ExtensionOf(std::string_view path);

// True when the extension of path equals extension (".mp3" ...) ignoring
// ASCII case.
bool HasExtension(std::string_view path, std::string_view extension);

// text without the blanks (spaces, tabs, line ends) around it.
std::string Trim(std::string_view text);

// ASCII case-insensitive equality.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// path made absolute against the current folder, without "." and ".."
// steps; empty stays empty.
std::string AbsolutePath(const std::string& path);

// True when a file (not a folder) exists at path.
bool FileExists(const std::string& path);

// Removes the file at path if there is one; true when none is left.
bool RemoveFileIfExists(const std::string& path);

// True when a file exists at path and carries no write permission at all
// (its read-only attribute, whoever asks).
bool IsReadOnlyFile(const std::string& path);

// A UTF-8 path in UTF-16, as the WMA writer plugin takes file names;
// empty when path is not valid UTF-8.
std::u16string Utf16FromUtf8(const std::string& path);

// The folder of the running executable, ending in '/': where the kernel
// says the program was loaded from (/proc/self/exe), else the file name
// it was started by (AT_EXECFN) resolved to a real path.  Empty when
// neither can be read: then nothing is to be loaded from "the program's
// folder", least of all from the current directory.
std::string ExecutableFolder();

// ExecutableFolder's rule over given sources: the link that names the
// executable and the file name it was started by (nullptr when unknown).
std::string ExecutableFolderFrom(const std::string& selfLink, const char* startedAs);

} // namespace velmora
