#pragma once
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace pyx {

// One line per bus transaction and per operation that changes a card:
//   t=<microseconds since start> <Operation> gpu=<index> <fields...> status=<status>
// A bug report from a real card needs exactly this, so it is written whichever back-end
// answers. Lines are flushed one by one: a crash loses at most the line being written.
class Trace {
public:
    // Appends to the file named by PYXTUNE_TRACE; null when unset or not to be written, in
    // which case standard error says why.
    static std::unique_ptr<Trace> FromEnvironment();
    // A trace may be named in a folder others can write: a file that exists is appended to only
    // when it is a plain file of the running user's own, and never through a link, so nobody
    // can make the program write into a file of theirs choosing. Null with `why` set (without
    // the file's name) otherwise.
    static std::unique_ptr<Trace> Open(const std::string& path, std::string& why);
    static std::unique_ptr<Trace> Open(const std::string& path);

    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    // fields: "key=value key=value", or empty.
    void Write(std::string_view operation, int gpu, std::string_view fields, int status);

    static std::string Hex(const unsigned char* bytes, size_t count);

private:
    explicit Trace(std::FILE* file);

    std::mutex mutex_;
    std::FILE* file_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace pyx
