#include "tests/support/TraceFile.h"

#include <fstream>

namespace pyx::test {

std::vector<std::string> TraceFile::RawLines() const {
    std::ifstream in(path_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> TraceFile::Lines() const {
    std::vector<std::string> lines = RawLines();
    for (std::string& line : lines)
        if (const size_t space = line.find(' '); line.starts_with("t=") && space != std::string::npos)
            line = line.substr(space + 1);
    return lines;
}

std::vector<std::string> TraceFile::LinesOf(const std::string& operation) const {
    std::vector<std::string> lines;
    for (std::string& line : Lines())
        if (line.starts_with(operation + " ")) lines.push_back(std::move(line));
    return lines;
}

void TraceFile::Clear() const { std::ofstream(path_, std::ios::trunc); }

void TraceFile::Mark(const std::string& text) const {
    std::ofstream out(path_, std::ios::app);
    out << "# " << text << "\n";
}

}  // namespace pyx::test
