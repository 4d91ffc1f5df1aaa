// Run-time loading of a shared library by name (UTF-8).
#pragma once

#include <string>

namespace vek {

// A library's file name on each kind of system the program is built for.
struct LibraryFileNames {
    const char* windows;
    const char* apple;
    const char* otherPosix;
};

// The name of the system the program was built for.
const char* LibraryFileName(const LibraryFileNames& names);

// Loaded once and never unloaded: the bound function entries stay valid for the process.
class DynamicLibrary {
  public:
    // A plain name is searched for as the system searches for libraries.
    bool Load(const std::string& name);
    bool IsLoaded() const { return handle_ != nullptr; }
    // The exported symbol, or null when the library lacks it.
    void* Symbol(const char* name) const;
    // Sets entry to the exported function of that name; false when the library lacks it.
    template <typename Fn>
    bool BindFunction(const char* name, Fn& entry) const {
        entry = reinterpret_cast<Fn>(Symbol(name));
        return entry != nullptr;
    }

  private:
    void* handle_ = nullptr;
};

}  // namespace vek
