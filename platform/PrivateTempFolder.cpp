#include "PrivateTempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace velmora {

PrivateTempFolder::PrivateTempFolder()
{
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error)
        base = "/tmp";
    std::string pattern = (base / "velmora-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkdtemp creates the folder with mode 0700.
    if (::mkdtemp(name.data()) != nullptr)
        path_ = std::string(name.data()) + '/';
}

PrivateTempFolder::~PrivateTempFolder()
{
    if (path_.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace velmora
