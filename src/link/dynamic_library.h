// Run-time loading of a shared library by name (UTF-8), the one platform-specific piece of the
// link.
#pragma once

#include <string>

namespace vek {

// Loaded once and never unloaded: the bound function entries stay valid for the process.
class DynamicLibrary {
  public:
    bool Load(const std::string& name);
    bool IsLoaded() const { return handle_ != nullptr; }
    // The exported symbol, or null when the library lacks it.
    void* Symbol(const char* name) const;

  private:
    void* handle_ = nullptr;
};

}  // namespace vek
