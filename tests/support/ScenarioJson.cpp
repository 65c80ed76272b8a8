#include "tests/support/ScenarioJson.h"

#include <cstdio>

namespace pyx::test {

std::filesystem::path ShippedScenario(const std::string& name) {
    return std::filesystem::path(PYX_SIM_SCENARIO_DIR) / name;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "\"0x%08X\"", value);
    return text;
}

std::string CardJson(uint32_t deviceId, uint32_t subSystemId, const std::string& i2c, const std::string& extra) {
    return "{\"deviceId\": " + Hex((deviceId << 16) | 0x10DE) + ", \"subSystemId\": " + Hex(subSystemId) +
           ", \"i2c\": " + i2c + (extra.empty() ? "" : ", " + extra) + "}";
}

std::string ScenarioJson(const std::vector<std::string>& cards, const std::string& extra) {
    // Appended piece by piece: g++ 12 at -O2 misreads the temporaries of a chained
    // concatenation as overlapping copies (-Wrestrict).
    std::string text = "{\"cards\": [";
    for (size_t i = 0; i < cards.size(); ++i) text.append(i ? ", " : "").append(cards[i]);
    text.append("]");
    if (!extra.empty()) text.append(", ").append(extra);
    return text.append("}");
}

std::string CardsJson(int n, const std::string& devicesJson) {
    return ScenarioJson(std::vector<std::string>(static_cast<size_t>(n), CardJson(0x1B81, 0x11223344, devicesJson)));
}

std::string TuningCard(const std::string& tuning, const std::string& i2c, const std::string& deviceId) {
    return ScenarioJson({R"({"deviceId": ")" + deviceId + R"(", "subSystemId": "0x11223344",
        "clocks": {"current": {"graphics": 1506000, "memory": 4006000},
                   "base": {"graphics": 1506000, "memory": 4006000},
                   "boost": {"graphics": 1683000, "memory": 4006000}},
        "tuning": )" + tuning + R"(, "i2c": )" + i2c + "}"});
}

}  // namespace pyx::test
