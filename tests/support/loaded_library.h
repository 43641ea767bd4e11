// The simulation build of Velnor.dll, loaded at run time by the name it is
// copied under beside the test programs, as an application without the
// import library would load the DLL.
#pragma once

#include <velnor.h>

#include <windows.h>

#include <utility>

namespace velnor_test {

inline constexpr wchar_t simulation_library[] = L"VelnorSim.dll";

class loaded_library_t {
public:
    loaded_library_t() : module_(LoadLibraryW(simulation_library)) {}
    loaded_library_t(const loaded_library_t&) = delete;
    loaded_library_t& operator=(const loaded_library_t&) = delete;
    ~loaded_library_t() { unload(); }

    explicit operator bool() const { return module_ != nullptr; }

    // As a C application casts the address GetProcAddress returns.
    template <class Function> Function resolve(const char* name) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    decltype(&vl_get_library_version) get_library_version() const {
        return resolve<decltype(&vl_get_library_version)>("vl_get_library_version");
    }

    // FreeLibrary's result; true when nothing was loaded.
    bool unload() { return module_ == nullptr || FreeLibrary(std::exchange(module_, nullptr)); }

private:
    HMODULE module_;
};

// Whether the process still has the library mapped.
inline bool simulation_library_mapped() {
    return GetModuleHandleW(simulation_library) != nullptr;
}

} // namespace velnor_test
