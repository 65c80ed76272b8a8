// Linked into every test program: a Pyxtune service running on the machine must not answer
// the tests' clients, nor the programs they start. A test that wants a service starts its own,
// names its socket and lifts this for the programs it starts.
#include <cstdlib>

namespace {

const bool kServiceOff = [] {
#ifdef _WIN32
    return _putenv_s("PYXTUNE_SERVICE", "off") == 0;
#else
    return ::setenv("PYXTUNE_SERVICE", "off", 1) == 0;
#endif
}();

}  // namespace
