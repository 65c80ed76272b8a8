#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace pyx::test {

// The trace file the library layer writes, one line per call ("t=<microseconds> Operation
// gpu=N ... status=S"), read back by the tests. Lines a test adds ("# heading", waits of a
// virtual clock) sit among them.
class TraceFile {
public:
    explicit TraceFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& Path() const { return path_; }
    // Every line as written, time stamps included.
    std::vector<std::string> RawLines() const;
    // Every line, each without its time stamp.
    std::vector<std::string> Lines() const;
    // The lines of one operation, without their time stamps, e.g. "SetCoolerLevels gpu=0 ...".
    std::vector<std::string> LinesOf(const std::string& operation) const;
    // Empties the file; what the layer writes next starts it again.
    void Clear() const;
    // A heading among the lines, so one approved file can hold several actions.
    void Mark(const std::string& text) const;

private:
    std::filesystem::path path_;
};

}  // namespace pyx::test
