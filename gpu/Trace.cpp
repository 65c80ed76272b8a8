#include "gpu/Trace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pyx {

std::unique_ptr<Trace> Trace::FromEnvironment() {
    const char* path = std::getenv("PYXTUNE_TRACE");
    if (path == nullptr || *path == '\0') return nullptr;
    std::string why;
    auto trace = Open(path, why);
    if (!trace) std::fprintf(stderr, "PYXTUNE_TRACE: %s: %s; no trace is written\n", path, why.c_str());
    return trace;
}

std::unique_ptr<Trace> Trace::Open(const std::string& path) {
    std::string why;
    return Open(path, why);
}

#ifdef _WIN32

std::unique_ptr<Trace> Trace::Open(const std::string& path, std::string& why) {
    // Binary: one line end on every system, so a trace from Windows reads like any other.
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        why = std::string("it cannot be opened for appending (") + std::strerror(errno) + ")";
        return nullptr;
    }
    return std::unique_ptr<Trace>(new Trace(file));
}

#else

std::unique_ptr<Trace> Trace::Open(const std::string& path, std::string& why) {
    // Not blocking on the open: a pipe at the name would otherwise hold the program.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    struct stat info {};
    if (fd < 0) {
        // The system's own refusal of a link (ELOOP, or EACCES where the kernel guards sticky
        // folders) says little; what lies at the name says why.
        const int error = errno;
        if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            why = "it is a symbolic link, which is not followed";
        else if (error == EACCES && ::lstat(path.c_str(), &info) == 0 && info.st_uid != ::geteuid())
            why = "it belongs to another user";
        else
            why = std::string("it cannot be opened for appending (") + std::strerror(error) + ")";
        return nullptr;
    }
    const char* refusal = nullptr;
    if (::fstat(fd, &info) != 0)
        refusal = "it cannot be examined";
    else if (!S_ISREG(info.st_mode))
        refusal = "it is not a plain file";
    else if (info.st_uid != ::geteuid())
        refusal = "it belongs to another user";
    else if (::fcntl(fd, F_SETFL, O_APPEND) != 0)
        refusal = "it cannot be written in order";
    std::FILE* file = refusal == nullptr ? ::fdopen(fd, "ab") : nullptr;
    if (file == nullptr) {
        ::close(fd);
        why = refusal != nullptr ? refusal : "it cannot be opened for appending";
        return nullptr;
    }
    return std::unique_ptr<Trace>(new Trace(file));
}

#endif

Trace::Trace(std::FILE* file) : file_(file), start_(std::chrono::steady_clock::now()) {}

Trace::~Trace() { std::fclose(file_); }

void Trace::Write(std::string_view operation, int gpu, std::string_view fields, int status) {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start_).count();
    std::lock_guard lock(mutex_);
    std::fprintf(file_, "t=%lld %.*s gpu=%d%s%.*s status=%d\n", static_cast<long long>(us),
                 static_cast<int>(operation.size()), operation.data(), gpu,
                 fields.empty() ? "" : " ", static_cast<int>(fields.size()), fields.data(),
                 status);
    std::fflush(file_);
}

std::string Trace::Hex(const unsigned char* bytes, size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0xF]);
    }
    return out;
}

}  // namespace pyx
