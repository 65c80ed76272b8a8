#include "sim/SimStateFileTuning.h"

#include <stdexcept>

#include "sim/SimJson.h"

namespace pyx::sim {

using nlohmann::json;

const json& StateField(const json& object, const char* key, const std::string& where) {
    if (!object.is_object()) throw std::runtime_error(where + ": expected an object");
    const auto it = object.find(key);
    if (it == object.end()) throw std::runtime_error(where + "." + key + ": missing");
    return *it;
}

namespace {

uint32_t U32(const json& o, const char* key, const std::string& where) {
    return ToU32(StateField(o, key, where), where + "." + key);
}
int32_t I32(const json& o, const char* key, const std::string& where) {
    return ToI32(StateField(o, key, where), where + "." + key);
}
uint8_t Byte(const json& o, const char* key, const std::string& where) {
    return ToByte(StateField(o, key, where), where + "." + key);
}
bool Bool(const json& o, const char* key, const std::string& where) {
    const json& v = StateField(o, key, where);
    if (!v.is_boolean()) throw std::runtime_error(where + "." + key + ": expected true or false");
    return v.get<bool>();
}
const json& List(const json& o, const char* key, size_t most, const std::string& where) {
    const json& v = StateField(o, key, where);
    if (!v.is_array()) throw std::runtime_error(where + "." + key + ": expected an array");
    if (v.size() > most)
        throw std::runtime_error(where + "." + key + ": at most " + std::to_string(most) + " entries");
    return v;
}
std::string At(const std::string& where, const char* key, size_t i) {
    return where + "." + key + "[" + std::to_string(i) + "]";
}

json DeltaToJson(const SimClockDelta& d) {
    return {{"deltaKHz", d.deltaKHz}, {"minKHz", d.minKHz}, {"maxKHz", d.maxKHz}, {"editable", d.editable}};
}
SimClockDelta DeltaFromJson(const json& o, const std::string& where) {
    return {I32(o, "deltaKHz", where), I32(o, "minKHz", where), I32(o, "maxKHz", where), Bool(o, "editable", where)};
}

}  // namespace

json TuningStateToJson(const SimTuningState& t) {
    json thermal = json::array();
    for (const auto& p : t.thermalPolicies)
        thermal.push_back({{"id", p.id}, {"minLimit", p.minLimit}, {"defaultLimit", p.defaultLimit},
                           {"maxLimit", p.maxLimit}, {"currentLimit", p.currentLimit},
                           {"acousticAvailable", p.acousticAvailable}, {"preferAcoustics", p.preferAcoustics}});
    json coolers = json::array();
    for (const auto& c : t.coolers)
        coolers.push_back({{"type", c.type}, {"minLevel", c.minLevel}, {"maxLevel", c.maxLevel},
                           {"defaultLevel", c.defaultLevel}, {"currentLevel", c.currentLevel}, {"policy", c.policy}});
    json fans = json::array();
    for (const auto& f : t.fanCoolers)
        fans.push_back({{"id", f.id}, {"maxRpm", f.maxRpm}, {"minLevel", f.minLevel}, {"maxLevel", f.maxLevel},
                        {"autoLevel", f.autoLevel}, {"manualLevel", f.manualLevel}, {"manual", f.manual}});
    json domains = json::array();
    for (const auto& d : t.clockDomains)
        domains.push_back({{"type", d.type}, {"domainId", d.domainId}, {"offsetMaxKHz", d.offsetMaxKHz},
                           {"offsetMinKHz", d.offsetMinKHz}, {"firstVf", d.firstVf}, {"lastVf", d.lastVf}});
    // Only the points a card has; the rest are absent, as they started.
    json points = json::array();
    for (size_t i = 0; i < t.vfPoints.size(); ++i) {
        const SimVfPoint& p = t.vfPoints[i];
        if (!p.present) continue;
        points.push_back({{"index", i}, {"type", p.type}, {"voltageBased", p.voltageBased}, {"offsetKHz", p.offsetKHz}});
    }
    return {{"graphics", DeltaToJson(t.graphics)},
            {"memory", DeltaToJson(t.memory)},
            {"pstatesReadFailures", t.pstatesReadFailures},
            {"power", {{"minPcm", t.power.minPcm}, {"defaultPcm", t.power.defaultPcm},
                       {"maxPcm", t.power.maxPcm}, {"currentPcm", t.power.currentPcm}}},
            {"thermalPoliciesSupported", t.thermalPoliciesSupported},
            {"thermalPolicies", thermal},
            {"coolers", coolers},
            {"fanCoolers", fans},
            {"overVoltagePercent", t.overVoltagePercent},
            {"clockDomains", domains},
            {"vfPoints", points}};
}

SimTuningState TuningStateFromJson(const json& o, const std::string& where) {
    SimTuningState t;
    t.graphics = DeltaFromJson(StateField(o, "graphics", where), where + ".graphics");
    t.memory = DeltaFromJson(StateField(o, "memory", where), where + ".memory");
    t.pstatesReadFailures = I32(o, "pstatesReadFailures", where);
    const std::string powerAt = where + ".power";
    const json& power = StateField(o, "power", where);
    t.power = {U32(power, "minPcm", powerAt), U32(power, "defaultPcm", powerAt), U32(power, "maxPcm", powerAt),
               U32(power, "currentPcm", powerAt)};
    t.thermalPoliciesSupported = Bool(o, "thermalPoliciesSupported", where);

    const json& thermal = List(o, "thermalPolicies", 4, where);
    t.thermalPolicies.clear();
    for (size_t i = 0; i < thermal.size(); ++i) {
        const std::string at = At(where, "thermalPolicies", i);
        const json& p = thermal[i];
        t.thermalPolicies.push_back({U32(p, "id", at), I32(p, "minLimit", at), I32(p, "defaultLimit", at),
                                     I32(p, "maxLimit", at), I32(p, "currentLimit", at),
                                     Bool(p, "acousticAvailable", at), Bool(p, "preferAcoustics", at)});
    }
    const json& coolers = List(o, "coolers", 20, where);
    t.coolers.clear();
    for (size_t i = 0; i < coolers.size(); ++i) {
        const std::string at = At(where, "coolers", i);
        const json& c = coolers[i];
        t.coolers.push_back({U32(c, "type", at), U32(c, "minLevel", at), U32(c, "maxLevel", at),
                             U32(c, "defaultLevel", at), U32(c, "currentLevel", at), U32(c, "policy", at)});
    }
    const json& fans = List(o, "fanCoolers", 32, where);
    t.fanCoolers.clear();
    for (size_t i = 0; i < fans.size(); ++i) {
        const std::string at = At(where, "fanCoolers", i);
        const json& f = fans[i];
        t.fanCoolers.push_back({U32(f, "id", at), U32(f, "maxRpm", at), U32(f, "minLevel", at),
                                U32(f, "maxLevel", at), U32(f, "autoLevel", at), U32(f, "manualLevel", at),
                                Bool(f, "manual", at)});
    }
    t.overVoltagePercent = Byte(o, "overVoltagePercent", where);
    const json& domains = List(o, "clockDomains", 32, where);
    t.clockDomains.clear();
    for (size_t i = 0; i < domains.size(); ++i) {
        const std::string at = At(where, "clockDomains", i);
        const json& d = domains[i];
        t.clockDomains.push_back({U32(d, "type", at), U32(d, "domainId", at), I32(d, "offsetMaxKHz", at),
                                  I32(d, "offsetMinKHz", at), Byte(d, "firstVf", at), Byte(d, "lastVf", at)});
    }
    const json& points = List(o, "vfPoints", kSimVfPoints, where);
    t.vfPoints = {};
    for (size_t i = 0; i < points.size(); ++i) {
        const std::string at = At(where, "vfPoints", i);
        const json& p = points[i];
        SimVfPoint& point = t.vfPoints[Byte(p, "index", at)];
        if (point.present) throw std::runtime_error(at + ".index: point listed twice");
        point = {true, U32(p, "type", at), Byte(p, "voltageBased", at), I32(p, "offsetKHz", at)};
    }
    return t;
}

}  // namespace pyx::sim
