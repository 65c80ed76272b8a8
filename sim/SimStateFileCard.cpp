#include "sim/SimStateFileCard.h"

#include <cstdio>
#include <stdexcept>

#include "sim/SimFanChipSlot0.h"
#include "sim/SimFanChipSlot1.h"
#include "sim/SimJson.h"
#include "sim/SimLedBasicClass1.h"
#include "sim/SimLedBasicClass2.h"
#include "sim/SimLedEffectController.h"
#include "sim/SimLedZoneController.h"
#include "sim/SimStateFileTuning.h"

namespace pyx::sim {

using nlohmann::json;

namespace {

std::string AddressText(uint8_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", address);
    return text;
}

std::string HexBytes(const std::array<uint8_t, 256>& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0xF]);
    }
    return text;
}

std::array<uint8_t, 256> ParseHexBytes(const json& value, const std::string& what) {
    if (!value.is_string() || value.get_ref<const std::string&>().size() != 512)
        throw std::runtime_error(what + ": expected 512 hex digits");
    const std::string& text = value.get_ref<const std::string&>();
    auto digit = [&](char c) -> uint8_t {
        if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
        throw std::runtime_error(what + ": \"" + std::string(1, c) + "\" is not a hex digit");
    };
    std::array<uint8_t, 256> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(digit(text[2 * i]) << 4 | digit(text[2 * i + 1]));
    return bytes;
}

// Writes one register through the device, so that the model reacts as to a bus write, even
// when it has been told to stop answering.
void Poke(SimRegisterFile& device, uint8_t reg, uint8_t value) {
    const bool answering = device.answering;
    device.answering = true;
    device.Write(reg, &value, 1);
    device.answering = answering;
}

// What the models keep beside their registers follows the registers just restored.
void RestoreModel(const SimTuningState& tuning, const SimDeviceState& state, SimRegisterFile& device) {
    const auto& r = *state.registers;
    if (auto* chip = dynamic_cast<SimFanChipSlot0*>(&device); chip && state.fanTargetCount) {
        Poke(*chip, 0x74, static_cast<uint8_t>(*state.fanTargetCount >> 8));
        Poke(*chip, 0x75, static_cast<uint8_t>(*state.fanTargetCount & 0xFF));
        chip->Set(0x74, r[0x74]);
        chip->Set(0x75, r[0x75]);
    } else if (auto* duty = dynamic_cast<SimFanChipSlot1*>(&device)) {
        for (const auto& cooler : tuning.coolers)
            if (cooler.type == 1) {
                duty->SetLibraryDutyPercent(cooler.currentLevel);
                break;
            }
    } else if (auto* zone = dynamic_cast<SimLedZoneController*>(&device)) {
        zone->LatchPresets();
    } else if (auto* effect = dynamic_cast<SimLedEffectController*>(&device)) {
        effect->LatchPresets();
    } else if (auto* basic1 = dynamic_cast<SimLedBasicClass1*>(&device)) {
        if (r[0x0A] != 0) Poke(*basic1, 0x0A, r[0x0A]);  // the colour block's last byte shows it
    } else if (auto* basic2 = dynamic_cast<SimLedBasicClass2*>(&device)) {
        if (r[0x30] == 0x07) Poke(*basic2, 0x30, 0x07);  // the latch write
    }
}

}  // namespace

SimCardState SimCardState::Capture(const SimCard& card) {
    SimCardState state;
    state.deviceId = card.deviceId;
    state.subSystemId = card.subSystemId;
    state.pluggedIn = card.pluggedIn;
    {
        std::lock_guard lock(card.stateMutex);
        state.clockKHz = card.clockKHz;
        state.tuning = card.tuning;
    }
    for (const uint8_t address : card.bus.Addresses()) {
        SimI2cDevice* device = card.bus.Device(address);
        SimDeviceState entry;
        entry.address = address;
        entry.model = device->ModelName();
        if (const auto* file = dynamic_cast<const SimRegisterFile*>(device)) {
            std::array<uint8_t, 256> registers{};
            for (size_t reg = 0; reg < registers.size(); ++reg) registers[reg] = file->Get(static_cast<uint8_t>(reg));
            entry.registers = registers;
        }
        if (const auto* chip = dynamic_cast<const SimFanChipSlot0*>(device)) entry.fanTargetCount = chip->TargetCount();
        state.devices.push_back(std::move(entry));
    }
    return state;
}

std::string SimCardState::Mismatch(const SimCard& card) const {
    if (deviceId != card.deviceId || subSystemId != card.subSystemId) {
        char text[96];
        std::snprintf(text, sizeof text, "ids 0x%08X/0x%08X, the scenario's card has 0x%08X/0x%08X", deviceId,
                      subSystemId, card.deviceId, card.subSystemId);
        return text;
    }
    const std::vector<uint8_t> addresses = card.bus.Addresses();
    for (const SimDeviceState& d : devices) {
        const SimI2cDevice* device = card.bus.Device(d.address);
        if (device == nullptr) return "a bus device at " + AddressText(d.address) + " that the scenario's card lacks";
        if (device->ModelName() != d.model)
            return "\"" + d.model + "\" at " + AddressText(d.address) + " where the scenario's card has \"" +
                   device->ModelName() + "\"";
        const bool hasFile = dynamic_cast<const SimRegisterFile*>(device) != nullptr;
        if (hasFile != d.registers.has_value())
            return "registers for " + AddressText(d.address) + " that do not match its model";
    }
    if (addresses.size() != devices.size()) {
        for (const uint8_t address : addresses) {
            bool listed = false;
            for (const SimDeviceState& d : devices) listed = listed || d.address == address;
            if (!listed) return "no entry for the bus device at " + AddressText(address);
        }
    }
    return {};
}

void SimCardState::ApplyTo(SimCard& card) const {
    {
        std::lock_guard lock(card.stateMutex);
        card.clockKHz = clockKHz;
        card.tuning = tuning;
    }
    card.pluggedIn = pluggedIn;
    for (const SimDeviceState& d : devices) {
        auto* file = dynamic_cast<SimRegisterFile*>(card.bus.Device(d.address));
        if (file == nullptr || !d.registers) continue;
        for (size_t reg = 0; reg < d.registers->size(); ++reg) file->Set(static_cast<uint8_t>(reg), (*d.registers)[reg]);
        RestoreModel(tuning, d, *file);
    }
}

json SimCardState::ToJson() const {
    json clocks = json::array();
    for (const auto& type : clockKHz) clocks.push_back(type);
    json bus = json::array();
    for (const SimDeviceState& d : devices) {
        json entry = {{"address", AddressText(d.address)}, {"model", d.model}};
        if (d.registers) entry["registers"] = HexBytes(*d.registers);
        if (d.fanTargetCount) entry["fanTargetCount"] = *d.fanTargetCount;
        bus.push_back(std::move(entry));
    }
    char ids[2][16];
    std::snprintf(ids[0], sizeof ids[0], "0x%08X", deviceId);
    std::snprintf(ids[1], sizeof ids[1], "0x%08X", subSystemId);
    json card = {{"deviceId", ids[0]}, {"subSystemId", ids[1]}, {"clockKHz", clocks},
                 {"tuning", TuningStateToJson(tuning)}, {"bus", bus}};
    if (!pluggedIn) card["pluggedIn"] = false;
    return card;
}

SimCardState SimCardState::FromJson(const json& value, const std::string& where) {
    SimCardState state;
    state.deviceId = ToU32(StateField(value, "deviceId", where), where + ".deviceId");
    state.subSystemId = ToU32(StateField(value, "subSystemId", where), where + ".subSystemId");
    const json& clocks = StateField(value, "clockKHz", where);
    if (!clocks.is_array() || clocks.size() != kSimClockTypes)
        throw std::runtime_error(where + ".clockKHz: expected " + std::to_string(kSimClockTypes) + " arrays");
    for (size_t t = 0; t < kSimClockTypes; ++t) {
        const std::string what = where + ".clockKHz[" + std::to_string(t) + "]";
        if (!clocks[t].is_array() || clocks[t].size() != kSimClockDomains)
            throw std::runtime_error(what + ": expected " + std::to_string(kSimClockDomains) + " numbers");
        for (size_t d = 0; d < kSimClockDomains; ++d) state.clockKHz[t][d] = ToU32(clocks[t][d], what);
    }
    state.tuning = TuningStateFromJson(StateField(value, "tuning", where), where + ".tuning");
    if (value.contains("pluggedIn")) {
        if (!value.at("pluggedIn").is_boolean()) throw std::runtime_error(where + ".pluggedIn: expected true or false");
        state.pluggedIn = value.at("pluggedIn").get<bool>();
    }
    const json& bus = StateField(value, "bus", where);
    if (!bus.is_array()) throw std::runtime_error(where + ".bus: expected an array");
    for (size_t i = 0; i < bus.size(); ++i) {
        const std::string what = where + ".bus[" + std::to_string(i) + "]";
        SimDeviceState d;
        d.address = ToByte(StateField(bus[i], "address", what), what + ".address");
        const json& model = StateField(bus[i], "model", what);
        if (!model.is_string()) throw std::runtime_error(what + ".model: expected a text");
        d.model = model.get<std::string>();
        if (bus[i].contains("registers")) d.registers = ParseHexBytes(bus[i].at("registers"), what + ".registers");
        if (bus[i].contains("fanTargetCount")) {
            const uint32_t count = ToU32(bus[i].at("fanTargetCount"), what + ".fanTargetCount");
            if (count > 0xFFFF) throw std::runtime_error(what + ".fanTargetCount: above 65535");
            d.fanTargetCount = static_cast<uint16_t>(count);
        }
        for (const SimDeviceState& earlier : state.devices)
            if (earlier.address == d.address) throw std::runtime_error(what + ".address: listed twice");
        state.devices.push_back(std::move(d));
    }
    return state;
}

}  // namespace pyx::sim
