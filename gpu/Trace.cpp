#include "gpu/Trace.h"

#include <cstdlib>

namespace pyx {

std::unique_ptr<Trace> Trace::FromEnvironment() {
    const char* path = std::getenv("PYXTUNE_TRACE");
    if (path == nullptr || *path == '\0') return nullptr;
    auto trace = Open(path);
    if (!trace) std::fprintf(stderr, "PYXTUNE_TRACE: cannot open %s for appending\n", path);
    return trace;
}

std::unique_ptr<Trace> Trace::Open(const std::string& path) {
    // Binary: one line end on every system, so a trace from Windows reads like any other.
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) return nullptr;
    return std::unique_ptr<Trace>(new Trace(file));
}

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
