#include "PluginLibrary.h"

#include <dlfcn.h>

namespace velmora {

PluginLibrary::PluginLibrary(const std::string& folder, const std::string& name, Binding binding)
{
    // Only ever a full path into a known folder: a bare name would send
    // dlopen searching the library path, a relative one the current
    // directory.
    if (folder.empty() || folder.front() != '/')
        return;
    const int when = binding == Binding::AtLoad ? RTLD_NOW : RTLD_LAZY;
    // RTLD_LOCAL: a plugin's symbols never stand in for the program's.
    // RTLD_NODELETE: the libraries a plugin brings along (FFmpeg) keep
    // once-only state, set up on first use and never torn down, that does
    // not survive being unmapped; a released plugin stays mapped.
    for (const std::string& file : {folder + "lib" + name + ".so", folder + name + ".so"}) {
        handle_ = ::dlopen(file.c_str(), when | RTLD_LOCAL | RTLD_NODELETE);
        if (handle_ != nullptr)
            return;
    }
}

PluginLibrary::~PluginLibrary()
{
    if (handle_ != nullptr)
        ::dlclose(handle_);
}

void* PluginLibrary::Resolve(const char* symbol) const
{
    return handle_ != nullptr ? ::dlsym(handle_, symbol) : nullptr;
}

} // namespace velmora
