#pragma once

#include <string>

namespace velmora {

// A shared library loaded at run time (an encoder plugin, the decoder),
// released when the object goes.  RAII over dlopen, dlsym and dlclose; the
// library itself stays mapped (see the constructor).
class PluginLibrary {
public:
    // When the library's functions are bound: all at load (a plugin that
    // lacks one fails to load), or each at its first call (quicker for a
    // library that brings a hundred others along).
    enum class Binding { AtLoad, AtFirstCall };

    // Loads folder + "lib" + name + ".so", or folder + name + ".so" when the
    // first does not exist.  IsLoaded() tells whether either worked.  folder
    // must be absolute and end in '/'; an empty or relative one loads
    // nothing.
    PluginLibrary(const std::string& folder, const std::string& name, Binding binding = Binding::AtLoad);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool IsLoaded() const { return handle_ != nullptr; }

    // The address of an exported symbol, or nullptr when the library has
    // none of that name (or is not loaded).
    void* Resolve(const char* symbol) const;

    // A resolved function of type Fn, or nullptr.
    template <typename Fn>
    Fn ResolveFunction(const char* symbol) const
    {
        return reinterpret_cast<Fn>(Resolve(symbol));
    }

private:
    void* handle_ = nullptr;
};

} // namespace velmora
