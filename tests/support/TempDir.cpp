#include "TempDir.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace velmora::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = std::string(name.data()) + "/";
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace velmora::test
