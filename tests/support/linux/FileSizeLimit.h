#pragma once
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <string>

#include <sys/resource.h>

namespace pyx::test {

// A full disk, as far as this process's writes go: while the object lives, no file it writes
// grows past `bytes` (RLIMIT_FSIZE, with SIGXFSZ ignored), so a write past it fails with
// EFBIG, whose text Reason gives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(std::size_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool Active() const { return active_; }
    static std::string Reason() { return std::strerror(EFBIG); }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

}  // namespace pyx::test
