#include "PluginLibrary.h"

#include <dlfcn.h>

namespace velmora {

PluginLibrary::PluginLibrary(const std::string& folder, const std::string& name, Binding binding)
{
    const int when = binding == Binding::AtLoad ? RTLD_NOW : RTLD_LAZY;
    // RTLD_LOCAL: a plugin's symbols never stand in for the program's.
    for (const std::string& file : {folder + "lib" + name + ".so", folder + name + ".so"}) {
        handle_ = ::dlopen(file.c_str(), when | RTLD_LOCAL);
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
