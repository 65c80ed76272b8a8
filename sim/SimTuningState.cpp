#include "sim/SimTuningState.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/SimJson.h"

namespace pyx::sim {

using nlohmann::json;

SimTuningState::SimTuningState() {
    // Policy 0 first, so that readers must look for the acoustic one rather than take entry 0.
    thermalPolicies.push_back({0, 60 * 256, 83 * 256, 92 * 256, 83 * 256, false, false});
    thermalPolicies.push_back(SimThermalPolicy{});
    coolers.push_back(SimCooler{});
    clockDomains.push_back({0, 0, 1000000, -1000000, 0, 79});   // graphics, points 0-79
    clockDomains.push_back({0, 4, 1000000, -1000000, 80, 81});  // memory, points 80-81
    for (int i = 0; i <= 81; ++i) vfPoints[static_cast<size_t>(i)] = {true, 0, 1, 0};
}

namespace {

void Limit(const json& list, size_t most, const std::string& what) {
    if (!list.is_array()) throw std::runtime_error(what + ": expected an array");
    if (list.size() > most)
        throw std::runtime_error(what + ": at most " + std::to_string(most) + " entries, found " +
                                 std::to_string(list.size()));
}

int32_t ReadCelsius256(const json& value, const std::string& what) {
    if (!value.is_number()) throw std::runtime_error(what + ": expected degrees C as a number");
    const double scaled = std::trunc(value.get<double>() * 256.0);
    if (!(scaled > -1e9 && scaled < 1e9)) throw std::runtime_error(what + ": out of range");
    return static_cast<int32_t>(scaled);
}

bool ReadBool(const json& value, const std::string& what) {
    if (!value.is_boolean()) throw std::runtime_error(what + ": expected true or false");
    return value.get<bool>();
}

uint32_t ReadClockType(const json& value, const std::string& what) {
    if (value.is_string()) {
        if (value == "prog") return 0;
        if (value == "fixed") return 1;
    }
    return ToU32(value, what + " (\"prog\", \"fixed\" or a number)");
}

uint32_t ReadDomainId(const json& value, const std::string& what) {
    if (value.is_string()) {
        if (value == "graphics") return 0;
        if (value == "memory") return 4;
        if (value == "processor") return 7;
    }
    return ToU32(value, what + " (\"graphics\", \"memory\", \"processor\" or a number)");
}

void ReadDelta(const json& entry, SimClockDelta& delta, const std::string& what) {
    if (entry.contains("deltaKHz")) delta.deltaKHz = ToI32(entry.at("deltaKHz"), what + ".deltaKHz");
    if (entry.contains("minKHz")) delta.minKHz = ToI32(entry.at("minKHz"), what + ".minKHz");
    if (entry.contains("maxKHz")) delta.maxKHz = ToI32(entry.at("maxKHz"), what + ".maxKHz");
    if (entry.contains("editable")) delta.editable = ReadBool(entry.at("editable"), what + ".editable");
    if (delta.minKHz > delta.maxKHz) throw std::runtime_error(what + ": minKHz is above maxKHz");
}

void ReadPower(const json& entry, SimPowerPolicy& power) {
    if (entry.contains("minPcm")) power.minPcm = ToU32(entry.at("minPcm"), "tuning.power.minPcm");
    if (entry.contains("defaultPcm")) power.defaultPcm = ToU32(entry.at("defaultPcm"), "tuning.power.defaultPcm");
    if (entry.contains("maxPcm")) power.maxPcm = ToU32(entry.at("maxPcm"), "tuning.power.maxPcm");
    power.currentPcm = power.defaultPcm;
    if (entry.contains("currentPcm")) power.currentPcm = ToU32(entry.at("currentPcm"), "tuning.power.currentPcm");
    if (power.minPcm > power.maxPcm) throw std::runtime_error("tuning.power: minPcm is above maxPcm");
}

void ReadThermal(const json& entry, SimTuningState& state) {
    if (entry.contains("supported"))
        state.thermalPoliciesSupported = ReadBool(entry.at("supported"), "tuning.thermal.supported");
    if (!entry.contains("policies")) return;
    const json& list = entry.at("policies");
    Limit(list, 4, "tuning.thermal.policies");
    state.thermalPolicies.clear();
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string what = "tuning.thermal.policies[" + std::to_string(i) + "]";
        const json& p = list[i];
        SimThermalPolicy policy;
        if (p.contains("id")) policy.id = ToU32(p.at("id"), what + ".id");
        if (p.contains("minC")) policy.minLimit = ReadCelsius256(p.at("minC"), what + ".minC");
        if (p.contains("defaultC")) policy.defaultLimit = ReadCelsius256(p.at("defaultC"), what + ".defaultC");
        if (p.contains("maxC")) policy.maxLimit = ReadCelsius256(p.at("maxC"), what + ".maxC");
        policy.currentLimit = policy.defaultLimit;
        if (p.contains("currentC")) policy.currentLimit = ReadCelsius256(p.at("currentC"), what + ".currentC");
        if (p.contains("acoustic")) policy.acousticAvailable = ReadBool(p.at("acoustic"), what + ".acoustic");
        if (policy.minLimit > policy.maxLimit) throw std::runtime_error(what + ": minC is above maxC");
        state.thermalPolicies.push_back(policy);
    }
}

void ReadCoolers(const json& list, SimTuningState& state) {
    Limit(list, 20, "tuning.coolers");
    state.coolers.clear();
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string what = "tuning.coolers[" + std::to_string(i) + "]";
        const json& c = list[i];
        SimCooler cooler;
        if (c.contains("type")) cooler.type = ToU32(c.at("type"), what + ".type");
        if (c.contains("min")) cooler.minLevel = ToU32(c.at("min"), what + ".min");
        if (c.contains("max")) cooler.maxLevel = ToU32(c.at("max"), what + ".max");
        if (c.contains("defaultLevel")) cooler.defaultLevel = ToU32(c.at("defaultLevel"), what + ".defaultLevel");
        cooler.currentLevel = cooler.defaultLevel;
        if (c.contains("level")) cooler.currentLevel = ToU32(c.at("level"), what + ".level");
        if (c.contains("manual") && ReadBool(c.at("manual"), what + ".manual")) cooler.policy = kSimCoolerPolicyManual;
        if (cooler.minLevel > cooler.maxLevel) throw std::runtime_error(what + ": min is above max");
        state.coolers.push_back(cooler);
    }
}

void ReadFanCoolers(const json& list, SimTuningState& state) {
    Limit(list, 32, "tuning.fanCoolers");
    state.fanCoolers.clear();
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string what = "tuning.fanCoolers[" + std::to_string(i) + "]";
        const json& c = list[i];
        SimFanCooler cooler;
        cooler.id = static_cast<uint32_t>(i + 1);
        if (c.contains("id")) cooler.id = ToU32(c.at("id"), what + ".id");
        if (c.contains("maxRpm")) cooler.maxRpm = ToU32(c.at("maxRpm"), what + ".maxRpm");
        if (c.contains("autoLevel")) cooler.autoLevel = ToU32(c.at("autoLevel"), what + ".autoLevel");
        if (c.contains("level")) {
            cooler.manualLevel = ToU32(c.at("level"), what + ".level");
            cooler.manual = true;
        }
        state.fanCoolers.push_back(cooler);
    }
}

void ReadClockDomains(const json& list, SimTuningState& state) {
    Limit(list, 32, "tuning.clockDomains");
    state.clockDomains.clear();
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string what = "tuning.clockDomains[" + std::to_string(i) + "]";
        const json& d = list[i];
        SimClockDomain domain;
        if (d.contains("type")) domain.type = ReadClockType(d.at("type"), what + ".type");
        if (d.contains("domain")) domain.domainId = ReadDomainId(d.at("domain"), what + ".domain");
        if (d.contains("offsetMaxKHz")) domain.offsetMaxKHz = ToI32(d.at("offsetMaxKHz"), what + ".offsetMaxKHz");
        if (d.contains("offsetMinKHz")) domain.offsetMinKHz = ToI32(d.at("offsetMinKHz"), what + ".offsetMinKHz");
        if (d.contains("firstVf")) domain.firstVf = ToByte(d.at("firstVf"), what + ".firstVf");
        if (d.contains("lastVf")) domain.lastVf = ToByte(d.at("lastVf"), what + ".lastVf");
        state.clockDomains.push_back(domain);
    }
}

// Ranges of points: [{"first": 0, "last": 79, "type": "prog", "offsetKHz": 0}, ...].
void ReadVfPoints(const json& list, SimTuningState& state) {
    if (!list.is_array()) throw std::runtime_error("tuning.vfPoints: expected an array");
    state.vfPoints = {};
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string what = "tuning.vfPoints[" + std::to_string(i) + "]";
        const json& r = list[i];
        const uint8_t first = ToByte(r.at("first"), what + ".first");
        const uint8_t last = r.contains("last") ? ToByte(r.at("last"), what + ".last") : first;
        if (first > last) throw std::runtime_error(what + ": first is above last");
        SimVfPoint point;
        point.present = true;
        if (r.contains("type")) point.type = ReadClockType(r.at("type"), what + ".type");
        if (r.contains("voltageBased")) point.voltageBased = ReadBool(r.at("voltageBased"), what + ".voltageBased") ? 1 : 0;
        if (r.contains("offsetKHz")) point.offsetKHz = ToI32(r.at("offsetKHz"), what + ".offsetKHz");
        for (int p = first; p <= last; ++p) state.vfPoints[static_cast<size_t>(p)] = point;
    }
}

}  // namespace

void ReadTuningState(const json& tuning, SimTuningState& state) {
    if (!tuning.is_object()) throw std::runtime_error("tuning: expected an object");
    if (tuning.contains("graphicsDelta")) ReadDelta(tuning.at("graphicsDelta"), state.graphics, "tuning.graphicsDelta");
    if (tuning.contains("memoryDelta")) ReadDelta(tuning.at("memoryDelta"), state.memory, "tuning.memoryDelta");
    if (tuning.contains("pstatesReadFailures"))
        state.pstatesReadFailures = ToI32(tuning.at("pstatesReadFailures"), "tuning.pstatesReadFailures");
    if (tuning.contains("power")) ReadPower(tuning.at("power"), state.power);
    if (tuning.contains("thermal")) ReadThermal(tuning.at("thermal"), state);
    if (tuning.contains("coolers")) ReadCoolers(tuning.at("coolers"), state);
    if (tuning.contains("fanCoolers")) ReadFanCoolers(tuning.at("fanCoolers"), state);
    if (tuning.contains("overVoltagePercent"))
        state.overVoltagePercent = ToByte(tuning.at("overVoltagePercent"), "tuning.overVoltagePercent");
    if (tuning.contains("clockDomains")) ReadClockDomains(tuning.at("clockDomains"), state);
    if (tuning.contains("vfPoints")) ReadVfPoints(tuning.at("vfPoints"), state);
}

}  // namespace pyx::sim
