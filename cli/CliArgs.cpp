#include "cli/CliArgs.h"

#include <cerrno>
#include <cstdlib>

namespace pyx {

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

bool CliArgs::Parse(const std::set<std::string>& flags, const std::set<std::string>& valued, std::ostream& err) {
    for (size_t i = 0; i < args_.size(); ++i) {
        const std::string& arg = args_[i] == "-h" && flags.count("--help") != 0 ? std::string("--help") : args_[i];
        if (arg.rfind("--", 0) != 0 || arg.size() == 2) {
            words_.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        if (flags.count(name) != 0 && !inlineValue) {
            flags_.insert(name);
            continue;
        }
        if (valued.count(name) == 0) {
            std::vector<std::string> accepted(flags.begin(), flags.end());
            accepted.insert(accepted.end(), valued.begin(), valued.end());
            err << Prefix() << "unknown argument \"" << arg << "\" (accepted: " << JoinNames(accepted) << ")\n";
            return false;
        }
        if (!inlineValue) {
            if (i + 1 >= args_.size()) {
                err << Prefix() << name << " needs a value\n";
                return false;
            }
            inlineValue = args_[++i];
        }
        if (values_.count(name) != 0) {
            err << Prefix() << name << " is given twice\n";
            return false;
        }
        values_[name] = *inlineValue;
    }
    return true;
}

namespace {

// A whole decimal number, and whether it fit 64 bits (one that does not is read as the
// furthest value of its sign).
struct WholeText {
    long long value;
    bool fits;
};

std::optional<WholeText> ReadWhole(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || end == text.c_str() || *end != '\0') return std::nullopt;
    return WholeText{value, errno == 0};
}

}  // namespace

std::optional<std::string> CliArgs::Value(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

bool CliArgs::Int(const std::string& name, int64_t min, int64_t max, std::optional<int64_t>& out,
                  std::ostream& err) const {
    const auto text = Value(name);
    if (!text) return true;
    const std::optional<WholeText> whole = ReadWhole(*text);
    if (!whole || !whole->fits || whole->value < min || whole->value > max) {
        err << Prefix() << name << ": \"" << *text << "\" is not accepted (accepted: a whole number from " << min
            << " to " << max << ")\n";
        return false;
    }
    out = whole->value;
    return true;
}

bool CliArgs::WholeNumber(const std::string& name, const char* unit, std::optional<int64_t>& out,
                          std::ostream& err) const {
    const auto text = Value(name);
    if (!text) return true;
    const std::optional<WholeText> whole = ReadWhole(*text);
    if (!whole) {
        err << Prefix() << name << ": \"" << *text << "\" is not accepted: not a whole number of " << unit << "\n";
        return false;
    }
    // One beyond 64 bits keeps the furthest value of its sign, which no range holds.
    out = whole->value;
    return true;
}

}  // namespace pyx
