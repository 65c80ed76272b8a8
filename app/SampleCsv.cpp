#include "app/SampleCsv.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>
#include <vector>

namespace pyx {

namespace {

using namespace std::chrono;

constexpr std::array<const char*, 11> kColumns = {
    "time (UTC)",   "gpu",      "graphics clock (MHz)", "memory clock (MHz)", "temperature (C)",  "fan (%)",
    "fan (RPM)",    "load (%)", "power draw (W)",       "thermal limit (C)",  "power limit (%)"};

template <typename T>
std::string Whole(const std::optional<T>& value) {
    return value ? std::to_string(*value) : std::string();
}

// Thousandths as a decimal with no trailing zeros: 112500 -> "112.5".
std::string Thousandths(const std::optional<uint32_t>& value) {
    if (!value) return {};
    std::string text = std::to_string(*value / 1000);
    if (const uint32_t rest = *value % 1000; rest != 0) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%03u", rest);
        std::string fraction = digits;
        while (fraction.back() == '0') fraction.pop_back();
        text += "." + fraction;
    }
    return text;
}

template <typename T>
bool ParseWhole(std::string_view text, std::optional<T>& out) {
    if (text.empty()) return true;
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    if (value < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
        value > static_cast<int64_t>(std::numeric_limits<T>::max()))
        return false;
    out = static_cast<T>(value);
    return true;
}

bool ParseThousandths(std::string_view text, std::optional<uint32_t>& out) {
    if (text.empty()) return true;
    const std::size_t dot = text.find('.');
    std::optional<uint32_t> whole;
    if (dot == 0 || !ParseWhole(text.substr(0, dot), whole) || !whole) return false;
    uint64_t value = static_cast<uint64_t>(*whole) * 1000;
    if (dot != std::string_view::npos) {
        const std::string_view fraction = text.substr(dot + 1);
        if (fraction.empty() || fraction.size() > 3) return false;
        uint64_t scale = 100;
        for (const char c : fraction) {
            if (c < '0' || c > '9') return false;
            value += static_cast<uint64_t>(c - '0') * scale;
            scale /= 10;
        }
    }
    if (value > std::numeric_limits<uint32_t>::max()) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

bool Digits(std::string_view text, std::size_t at, std::size_t count, int& out) {
    if (at + count > text.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

std::string SampleCsv::IsoTime(int64_t timeMs) {
    const sys_time<milliseconds> time{milliseconds(timeMs)};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> clock{time - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

std::optional<int64_t> SampleCsv::ParseIsoTime(std::string_view text) {
    // Exactly the form IsoTime writes: a log read back is this program's own.
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (text.size() != 24 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != '.' || text[23] != 'Z')
        return std::nullopt;
    if (!Digits(text, 0, 4, y) || !Digits(text, 5, 2, mo) || !Digits(text, 8, 2, d) || !Digits(text, 11, 2, h) ||
        !Digits(text, 14, 2, mi) || !Digits(text, 17, 2, s) || !Digits(text, 20, 3, ms))
        return std::nullopt;
    const year_month_day date{year(y), month(static_cast<unsigned>(mo)), day(static_cast<unsigned>(d))};
    if (!date.ok() || h > 23 || mi > 59 || s > 59) return std::nullopt;
    const auto time = sys_days(date) + hours(h) + minutes(mi) + seconds(s) + milliseconds(ms);
    return time.time_since_epoch().count();
}

std::string SampleCsv::Header() {
    std::string line;
    for (const char* column : kColumns) {
        if (!line.empty()) line += ',';
        line += column;
    }
    return line;
}

std::string SampleCsv::Line(const HistorySample& s) {
    const std::string fields[] = {IsoTime(s.timeMs),          std::to_string(s.gpu),
                                  Whole(s.graphicsClockMHz),  Whole(s.memoryClockMHz),
                                  Whole(s.temperatureC),      Whole(s.fanPercent),
                                  Whole(s.fanRpm),            Whole(s.loadPercent),
                                  Thousandths(s.powerDrawMilliwatts), Whole(s.thermalLimitC),
                                  Thousandths(s.powerLimitPcm)};
    std::string line;
    for (const std::string& field : fields) line += (&field == fields ? "" : ",") + field;
    return line;
}

std::optional<HistorySample> SampleCsv::Parse(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (fields.size() != kColumns.size()) return std::nullopt;
    HistorySample s;
    const auto time = ParseIsoTime(fields[0]);
    std::optional<int> gpu;
    if (!time || fields[1].empty() || !ParseWhole(fields[1], gpu) || *gpu < 0) return std::nullopt;
    s.timeMs = *time;
    s.gpu = *gpu;
    if (!ParseWhole(fields[2], s.graphicsClockMHz) || !ParseWhole(fields[3], s.memoryClockMHz) ||
        !ParseWhole(fields[4], s.temperatureC) || !ParseWhole(fields[5], s.fanPercent) ||
        !ParseWhole(fields[6], s.fanRpm) || !ParseWhole(fields[7], s.loadPercent) ||
        !ParseThousandths(fields[8], s.powerDrawMilliwatts) || !ParseWhole(fields[9], s.thermalLimitC) ||
        !ParseThousandths(fields[10], s.powerLimitPcm))
        return std::nullopt;
    return s;
}

}  // namespace pyx
