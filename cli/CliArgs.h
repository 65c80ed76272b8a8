#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace pyx {

// The arguments of one pyxtunectl command: "--name value" (or "--name=value") options,
// "--flag" switches and plain words in order. Every complaint goes to err with the command
// and the argument named, and the values that would have been accepted.
class CliArgs {
public:
    CliArgs(std::string command, std::vector<std::string> args) : command_(std::move(command)), args_(std::move(args)) {}

    // Splits the arguments; false (after saying why) on an unknown option or a missing value.
    bool Parse(const std::set<std::string>& flags, const std::set<std::string>& valued, std::ostream& err);

    bool Has(const std::string& name) const { return flags_.count(name) != 0 || values_.count(name) != 0; }
    std::optional<std::string> Value(const std::string& name) const;
    const std::vector<std::string>& Words() const { return words_; }

    // The option as a whole number within [min, max]; absent leaves out untouched. False
    // (after saying why, with the range) when it is not such a number.
    bool Int(const std::string& name, int64_t min, int64_t max, std::optional<int64_t>& out,
             std::ostream& err) const;

    // The option as a whole number of `unit`, with no range of its own: the caller holds it
    // to the one that matters (a card's), and quotes that. Absent leaves out untouched; digits
    // beyond 64 bits saturate, outside every such range. False (after saying why) when the
    // text is not a whole number.
    bool WholeNumber(const std::string& name, const char* unit, std::optional<int64_t>& out, std::ostream& err) const;

    // "pyxtunectl <command>: "
    std::string Prefix() const { return "pyxtunectl " + command_ + ": "; }

private:
    std::string command_;
    std::vector<std::string> args_;
    std::set<std::string> flags_;
    std::map<std::string, std::string> values_;
    std::vector<std::string> words_;
};

// "a, b, c" for the messages that list what is accepted.
std::string JoinNames(const std::vector<std::string>& names);

}  // namespace pyx
