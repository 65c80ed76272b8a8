#include "sim/SimLedController.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/SimJson.h"

namespace pyx::sim {

bool SimLedController::Write(uint8_t reg, const uint8_t* data, size_t length) {
    {
        std::lock_guard lock(nakMutex_);
        for (size_t i = 0; i < length; ++i)
            if (nakRegisters_.count(static_cast<uint8_t>(reg + i)) != 0) return false;
    }
    return SimRegisterFile::Write(reg, data, length);
}

SimLedShown SimLedController::Shown() const {
    std::lock_guard lock(shownMutex_);
    return shown_;
}

void SimLedController::UpdateShown(const SimLedShown& shown) {
    std::lock_guard lock(shownMutex_);
    shown_ = shown;
}

void SimLedController::SetNakRegister(uint8_t reg, bool nak) {
    std::lock_guard lock(nakMutex_);
    if (nak) {
        nakRegisters_.insert(reg);
    } else {
        nakRegisters_.erase(reg);
    }
}

void SimLedController::Configure(const nlohmann::json& config, std::initializer_list<uint8_t> allowed,
                                 const char* modelName) {
    if (config.contains("address")) {
        const uint8_t address = ToByte(config.at("address"), "i2c address");
        if (std::find(allowed.begin(), allowed.end(), address) == allowed.end()) {
            std::string list;
            char text[8];
            for (const uint8_t a : allowed) {
                std::snprintf(text, sizeof text, "0x%02X", a);
                list += (list.empty() ? "" : ", ") + std::string(text);
            }
            throw std::runtime_error(std::string("model \"") + modelName + "\" sits only at " + list);
        }
    }
    if (config.contains("registers"))
        for (const auto& [reg, value] : config.at("registers").items())
            Set(ToByte(nlohmann::json(reg), "register"), ToByte(value, "register value"));
    if (config.contains("nakRegisters"))
        for (const auto& reg : config.at("nakRegisters")) SetNakRegister(ToByte(reg, "nakRegisters"));
}

}  // namespace pyx::sim
