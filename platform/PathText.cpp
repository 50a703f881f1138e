#include "PathText.h"


#include <filesystem>
#include <sys/auxv.h>
#include <system_error>

namespace velmora {

namespace {
char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

std::string Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

std::string ExtensionOf(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = (slash == std::string_view::npos) ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || dot < nameStart)
        return {};
    return std::string(path.substr(dot));
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

bool HasExtension(std::string_view path, std::string_view extension)
{
    return EqualsIgnoringCase(ExtensionOf(path), extension);
}

std::string AbsolutePath(const std::string& path)
{
    if (path.empty())
        return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

bool FileExists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool IsReadOnlyFile(const std::string& path)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::is_regular_file(status))
        return false;
    using std::filesystem::perms;
    return (status.permissions() & (perms::owner_write | perms::group_write | perms::others_write)) == perms::none;
}

std::u16string Utf16FromUtf8(const std::string& path)
{
    // A path built from char8_t text is UTF-8 by definition; the library
    // converts it and refuses what is not valid UTF-8.
    try {
        const std::u8string text(reinterpret_cast<const char8_t*>(path.data()), path.size());
        return std::filesystem::path(text).u16string();
    } catch (const std::exception&) {
        return {};
    }
}

std::string ExecutableFolderFrom(const std::string& selfLink, const char* startedAs)
{
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink(selfLink, error);
    if (error && startedAs != nullptr && *startedAs != '\0') {
        // The program never changes its working folder, so a relative
        // start name still resolves to the file that was started.
        exe = std::filesystem::canonical(startedAs, error);
        if (!error && !std::filesystem::is_regular_file(exe, error))
            return {};
    }
    if (error || !exe.is_absolute() || !exe.has_parent_path())
        return {};
    std::string folder = exe.parent_path().string();
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

std::string ExecutableFolder()
{
    static const std::string folder = ExecutableFolderFrom(
        "/proc/self/exe", reinterpret_cast<const char*>(::getauxval(AT_EXECFN)));
    return folder;
}

bool RemoveFileIfExists(const std::string& path)
{
    std::error_code error;
    std::filesystem::remove(path, error);
    return !std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

} // namespace velmora
