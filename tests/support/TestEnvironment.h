#pragma once
// Setting and clearing environment variables in tests, on either system. Windows' C runtime
// has no setenv; _putenv_s with an empty value removes the variable there.
#include <cstdlib>
#include <string>

namespace pyx::test {

inline void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnv(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    ::unsetenv(name);
#endif
}

}  // namespace pyx::test
