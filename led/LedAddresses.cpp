#include "led/LedAddresses.h"

#include <charconv>

namespace pyx {

uint8_t LedAddressFromText(std::string_view hexText) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(hexText.data(), hexText.data() + hexText.size(), value, 16);
    if (error != std::errc() || end != hexText.data() + hexText.size() || value > 0xFF) return 0;
    return static_cast<uint8_t>(value);
}

uint8_t BasicClass1Address() {
    static const uint8_t address = LedAddressFromText("40");
    return address;
}

uint8_t BasicClass2Address() {
    static const uint8_t address = LedAddressFromText("8A");
    return address;
}

}  // namespace pyx
