#pragma once
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace pyx::test {

// A file's whole content, byte for byte; empty when it cannot be read.
inline std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace pyx::test
