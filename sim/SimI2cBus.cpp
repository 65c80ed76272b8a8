#include "sim/SimI2cBus.h"

#include <thread>

namespace pyx::sim {

namespace {
// Keep the record of a long session bounded; tests look at the recent past.
constexpr size_t kMaxLog = 4096;
}

void SimI2cBus::Attach(uint8_t devAddress, std::unique_ptr<SimI2cDevice> device) {
    std::lock_guard lock(mutex_);
    devices_[devAddress] = std::move(device);
}

SimI2cDevice* SimI2cBus::Device(uint8_t devAddress) const {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(devAddress);
    return it == devices_.end() ? nullptr : it->second.get();
}

std::vector<uint8_t> SimI2cBus::Addresses() const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> addresses;
    for (const auto& entry : devices_) addresses.push_back(entry.first);
    return addresses;
}

bool SimI2cBus::Transfer(const SimI2cRecord& request, uint8_t* data) {
    if (perByte_.count() > 0) {
        // Until the whole time has passed: Windows' sleeps round a fraction of a millisecond
        // down to nothing, and the slow bus would not be slow.
        const auto until = std::chrono::steady_clock::now() + perByte_ * (2 + request.length);
        for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now())
            std::this_thread::sleep_for(until - now);
    }
    SimI2cRecord record = request;
    SimI2cDevice* device = Device(request.devAddress);
    const bool isRead = request.kind == SimI2cRecord::Kind::Read ||
                        request.kind == SimI2cRecord::Kind::ReadEx;
    bool ack = false;
    if (device != nullptr) {
        ack = isRead ? device->Read(request.reg, data, request.length)
                     : device->Write(request.reg, data, request.length);
    }
    if (data != nullptr && (!isRead || ack)) record.data.assign(data, data + request.length);
    record.acknowledged = ack;
    std::lock_guard lock(mutex_);
    if (log_.size() >= kMaxLog) log_.erase(log_.begin(), log_.begin() + kMaxLog / 2);
    log_.push_back(std::move(record));
    return ack;
}

std::vector<SimI2cRecord> SimI2cBus::Log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

void SimI2cBus::ClearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

}  // namespace pyx::sim
