// The bus mutex is taken with std::timed_mutex::try_lock_for, which this toolchain's
// libstdc++ implements with pthread_mutex_clocklock; the ThreadSanitizer runtime of the same
// toolchain does not intercept that call, so it sees every release of the bus mutex as the
// release of a mutex nobody holds. Only that report is silenced; data races are still
// reported.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "mutex:std::timed_mutex::unlock\n";
}
#endif
