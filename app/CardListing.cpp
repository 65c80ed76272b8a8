#include "app/CardListing.h"

#include <cstdio>

#include "app/TuningRanges.h"
#include "led/LedProbe.h"

namespace pyx {

namespace {

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

std::string Words(const nlohmann::json& items) {
    if (items.empty()) return "none";
    std::string text;
    for (const auto& item : items) {
        if (!text.empty()) text += ',';
        text += item.get<std::string>();
    }
    return text;
}

}  // namespace

nlohmann::json CardListing::ReadGpus(GpuBoardTable& boards, const std::string& backend) {
    nlohmann::json gpus = nlohmann::json::array();
    for (int gpu = 0; gpu < boards.gpuCount; ++gpu) {
        uint32_t deviceId = 0;
        uint32_t subSystemId = 0;
        const NvStatus status = boards.ReadPciIdentifiers(gpu, &deviceId, &subSystemId);
        const GpuBoard& board = boards.Board(gpu);
        std::vector<std::string> families;
        if (board.family != BoardFamily::None) families.push_back(BoardFamilyName(board.family));
        BoostClocks boost;
        (void)ReadBoostClocks(boards, gpu, boost);  // a card that does not say lists 0 MHz
        LedBoardState led;
        ProbeLedControllersReadOnly(boards, gpu, led);
        gpus.push_back({{"index", gpu},
                        {"deviceId", status == kNvOk ? Hex(deviceId >> 16, 4) : "?"},
                        {"subSystemId", status == kNvOk ? Hex(subSystemId, 8) : "?"},
                        {"backend", backend},
                        {"families", families},
                        {"boostClockMHz", boost.graphicsKHz / 1000},
                        {"fanControlType", FanPathCode(board.fan.Path())},
                        {"ledControllers", FoundControllerNames(led)}});
    }
    return gpus;
}

std::string CardListing::GpuLines(const nlohmann::json& gpus) {
    std::string ids;
    std::string details;
    for (const auto& g : gpus) {
        const std::string index = std::to_string(g.at("index").get<int>());
        ids += "GPU " + index + "  device " + g.at("deviceId").get<std::string>() + "  subsystem " +
               g.at("subSystemId").get<std::string>() + "  back-end " + g.at("backend").get<std::string>() + "\n";
        details += "GPU " + index + "  families " + Words(g.at("families")) + "  boost " +
                   std::to_string(g.at("boostClockMHz").get<uint32_t>()) + " MHz  fan control type " +
                   std::to_string(g.at("fanControlType").get<uint32_t>()) + "  LED controllers " +
                   Words(g.at("ledControllers")) + "\n";
    }
    return ids + "\n" + details;
}

}  // namespace pyx
