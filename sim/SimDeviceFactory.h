#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "sim/SimI2cDevice.h"

namespace pyx::sim {

// Makes bus devices from their scenario entries, by model name. Every model is registered
// from RegisterDeviceModels, so adding one is a new class and one line there.
class SimDeviceFactory {
public:
    using Maker = std::function<std::unique_ptr<SimI2cDevice>(const nlohmann::json& config)>;

    SimDeviceFactory();  // registers every known model

    void Register(const std::string& model, Maker maker);
    // Null when the model is unknown; config errors throw std::runtime_error.
    std::unique_ptr<SimI2cDevice> Make(const std::string& model, const nlohmann::json& config) const;
    std::vector<std::string> Models() const;

private:
    std::map<std::string, Maker> makers_;
};

void RegisterDeviceModels(SimDeviceFactory& factory);

}  // namespace pyx::sim
