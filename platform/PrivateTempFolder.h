#pragma once

#include <string>

namespace velmora {

// A folder that belongs to this program instance alone: created inside the
// system's temporary folder with owner-only permissions and a unique name,
// removed with everything in it when the object goes.
//
// The working file lives here.  A fixed name in the shared temporary folder
// would let two running editors overwrite each other's work and let a
// planted link redirect the writes.
class PrivateTempFolder {
public:
    PrivateTempFolder();
    ~PrivateTempFolder();
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

    bool IsValid() const { return !path_.empty(); }

    // The folder's path, ending in the platform's separator; empty when the
    // folder could not be created.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace velmora
