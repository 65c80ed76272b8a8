#pragma once
// The rules of Prometheus's text exposition format (0.0.4) that a scraper enforces, checked
// line by line: the tests hold the metrics text to them where promtool is not installed.
#include <cctype>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace pyx::test {

// The first rule the text breaks, as "line N: why"; empty when it breaks none.
inline std::string ExpositionFault(const std::string& text) {
    static const std::regex name(R"([a-zA-Z_:][a-zA-Z0-9_:]*)");
    static const std::regex sample(R"(([a-zA-Z_:][a-zA-Z0-9_:]*)(\{(.*)\})? (\S+)( (-?[0-9]+))?)");
    static const std::regex label(R"(([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\\n]|\\[\\"n])*)\",?)");
    static const std::set<std::string> types = {"counter", "gauge", "histogram", "summary", "untyped"};
    if (!text.empty() && text.back() != '\n') return "the text does not end with a newline";
    std::map<std::string, std::string> typeOf;
    std::set<std::string> helped, ended, seenSeries;
    std::string current;  // the family whose lines run now
    int number = 0;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const std::string at = "line " + std::to_string(++number) + ": ";
        if (line.empty()) continue;
        auto enter = [&](const std::string& family) -> std::string {
            if (family == current) return {};
            if (ended.count(family)) return "the lines of " + family + " are not together";
            if (!current.empty()) ended.insert(current);
            current = family;
            return {};
        };
        if (line[0] == '#') {
            std::smatch m;
            const std::regex comment(R"(# (HELP|TYPE) (\S+) ?(.*))");
            if (!std::regex_match(line, m, comment)) continue;  // any other comment is free text
            const std::string family = m[2];
            if (!std::regex_match(family, name)) return at + "\"" + family + "\" is not a metric name";
            if (auto fault = enter(family); !fault.empty()) return at + fault;
            if (m[1] == "HELP") {
                if (!helped.insert(family).second) return at + "a second HELP for " + family;
                continue;
            }
            if (typeOf.count(family)) return at + "a second TYPE for " + family;
            if (seenSeries.count(family)) return at + "the TYPE of " + family + " after its samples";
            if (!types.count(m[3])) return at + "\"" + std::string(m[3]) + "\" is not a metric type";
            typeOf[family] = m[3];
            continue;
        }
        std::smatch m;
        if (!std::regex_match(line, m, sample)) return at + "not a sample line";
        std::string family = m[1];
        for (const char* suffix : {"_bucket", "_count", "_sum"})
            if (const std::string base = family.substr(0, family.size() - std::string(suffix).size());
                family.size() > std::string(suffix).size() && family.ends_with(suffix) &&
                (typeOf[base] == "histogram" || typeOf[base] == "summary"))
                family = base;
        if (auto fault = enter(family); !fault.empty()) return at + fault;
        std::string labels = m[3];
        std::set<std::string> names;
        while (!labels.empty()) {
            std::smatch l;
            if (!std::regex_search(labels, l, label, std::regex_constants::match_continuous))
                return at + "labels \"" + labels + "\" are not name=\"value\" pairs";
            if (std::string(l[1]).starts_with("__")) return at + "a label name starting __ is reserved";
            if (!names.insert(l[1]).second) return at + "label " + std::string(l[1]) + " twice";
            labels = l.suffix();
        }
        const std::string value = m[4];
        if (value != "NaN" && value != "+Inf" && value != "-Inf") {
            char* stop = nullptr;
            std::strtod(value.c_str(), &stop);
            if (stop != value.c_str() + value.size() || value.find_first_of("xXpP") != std::string::npos)
                return at + "\"" + value + "\" is not a number";
        }
        if (!seenSeries.insert(std::string(m[1]) + "{" + std::string(m[3]) + "}").second)
            return at + "the same series twice";
        seenSeries.insert(family);
    }
    return {};
}

}  // namespace pyx::test
