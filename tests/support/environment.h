// Setting and removing environment variables of the test's own process, which a library it
// loaded (the simulator) reads too.
#pragma once

#include <cstdlib>
#include <string>

namespace vek::test {

inline void SetEnvironment(const std::string& name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void RemoveEnvironment(const std::string& name) {
#if defined(_WIN32)
    _putenv_s(name.c_str(), "");  // an empty value removes the variable
#else
    unsetenv(name.c_str());
#endif
}

}  // namespace vek::test
