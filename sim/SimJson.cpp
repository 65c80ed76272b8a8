#include "sim/SimJson.h"

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace pyx::sim {

namespace {

long long ToInteger(const nlohmann::json& value, const std::string& what) {
    if (value.is_number_integer()) return value.get<long long>();
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        if (!text.empty()) {
            errno = 0;
            char* end = nullptr;
            const long long parsed = std::strtoll(text.c_str(), &end, 0);
            if (errno == 0 && end != nullptr && *end == '\0') return parsed;
        }
    }
    throw std::runtime_error(what + ": expected an integer or a \"0x...\" string, got " + value.dump());
}

}  // namespace

uint32_t ToU32(const nlohmann::json& value, const std::string& what) {
    const long long v = ToInteger(value, what);
    if (v < 0 || v > 0xFFFFFFFFLL) throw std::runtime_error(what + ": " + value.dump() + " is out of range");
    return static_cast<uint32_t>(v);
}

int32_t ToI32(const nlohmann::json& value, const std::string& what) {
    const long long v = ToInteger(value, what);
    if (v < INT32_MIN || v > INT32_MAX) throw std::runtime_error(what + ": " + value.dump() + " is out of range");
    return static_cast<int32_t>(v);
}

uint8_t ToByte(const nlohmann::json& value, const std::string& what) {
    const long long v = ToInteger(value, what);
    if (v < 0 || v > 0xFF) throw std::runtime_error(what + ": " + value.dump() + " is not a byte");
    return static_cast<uint8_t>(v);
}

}  // namespace pyx::sim
