#include "link/dynamic_library.h"

#if defined(_WIN32)
#include <windows.h>

#include "device/utf8_path.h"
#else
#include <dlfcn.h>
#endif

namespace vek {

bool DynamicLibrary::Load(const std::string& name) {
#if defined(_WIN32)
    // Wide, so that a path with any characters loads; a plain name is searched for as usual.
    handle_ = reinterpret_cast<void*>(LoadLibraryW(PathFromUtf8(name).c_str()));
#else
    handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr) {
        return nullptr;
    }
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

}  // namespace vek
