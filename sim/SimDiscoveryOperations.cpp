// The legacy performance-level table of the simulated cards, and the scenario values that
// describe it and the video BIOS.
#include "sim/SimDiscoveryOperations.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "gpu/NvApiRecords.h"
#include "sim/SimJson.h"
#include "sim/SimOperationSupport.h"

namespace pyx::sim {

namespace {

using H = NvPhysicalGpuHandle;
using nlohmann::json;

constexpr size_t kMaxLevels = sizeof(NvPerfLevels::level) / sizeof(NvPerfLevels::level[0]);
constexpr size_t kMaxDomains = sizeof(NvPerfLevels::Level::domain) / sizeof(NvPerfLevels::Level::domain[0]);

// The level argument selects one level on the real library; every caller asks for all (-1),
// so the simulator always answers with the whole table.
int32_t PYX_NVAPI_CALL GetPerfLevels(H h, int32_t /*level*/, NvPerfLevels* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::GetPerfLevels, h, record, kPerfLevelsTag, card); s != kNvOk)
        return s;
    std::memset(reinterpret_cast<uint8_t*>(record) + sizeof record->version, 0,
                sizeof *record - sizeof record->version);
    std::lock_guard lock(card->stateMutex);
    const size_t levels = card->perfLevels.size() < kMaxLevels ? card->perfLevels.size() : kMaxLevels;
    record->levelCount = static_cast<uint32_t>(levels);
    for (size_t i = 0; i < levels; ++i) {
        const SimPerfLevel& level = card->perfLevels[i];
        record->level[i].flags = level.flags;
        const size_t domains = level.domains.size() < kMaxDomains ? level.domains.size() : kMaxDomains;
        record->level[i].domainCount = static_cast<uint32_t>(domains);
        for (size_t d = 0; d < domains; ++d) {
            record->level[i].domain[d].domainId = level.domains[d].domainId;
            record->level[i].domain[d].clockKHz = level.domains[d].clockKHz;
            record->level[i].domain[d].clock2KHz = level.domains[d].clock2KHz;
        }
    }
    return kNvOk;
}

uint32_t ReadDomainId(const json& value, const std::string& what) {
    if (value.is_string()) {
        const std::string name = value.get<std::string>();
        if (name == "graphics") return kDomainGraphics;
        if (name == "memory") return kDomainMemory;
        if (name == "processor") return kDomainProcessor;
    }
    return ToU32(value, what);
}

std::vector<uint8_t> HexBytes(const std::string& hex) {
    std::string digits;
    for (char c : hex)
        if (c != ' ' && c != '\n' && c != '\t') digits += c;
    if (digits.size() % 2 != 0) throw std::runtime_error("bios.hex: odd number of hexadecimal digits");
    std::vector<uint8_t> bytes;
    bytes.reserve(digits.size() / 2);
    for (size_t i = 0; i < digits.size(); i += 2) {
        const std::string pair = digits.substr(i, 2);
        if (pair.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            throw std::runtime_error("bios.hex: \"" + pair + "\" is not a hexadecimal byte");
        bytes.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
    }
    return bytes;
}

template <typename Fn>
void* Address(Fn fn) { return reinterpret_cast<void*>(fn); }

}  // namespace

std::vector<SimPerfLevel> ReadPerfLevels(const json& levels) {
    if (!levels.is_array()) throw std::runtime_error("perfLevels: must be an array");
    if (levels.size() > kMaxLevels)
        throw std::runtime_error("perfLevels: at most " + std::to_string(kMaxLevels) + " levels");
    std::vector<SimPerfLevel> result;
    for (size_t i = 0; i < levels.size(); ++i) {
        const std::string where = "perfLevels[" + std::to_string(i) + "]";
        const json& entry = levels[i];
        if (!entry.is_object()) throw std::runtime_error(where + ": must be an object");
        SimPerfLevel level;
        if (entry.contains("flags")) level.flags = ToU32(entry.at("flags"), where + ".flags");
        if (entry.contains("domains")) {
            const json& domains = entry.at("domains");
            if (!domains.is_array() || domains.size() > kMaxDomains)
                throw std::runtime_error(where + ".domains: must be an array of at most " +
                                         std::to_string(kMaxDomains) + " entries");
            for (size_t d = 0; d < domains.size(); ++d) {
                const std::string at = where + ".domains[" + std::to_string(d) + "]";
                const json& domain = domains[d];
                if (!domain.is_object() || !domain.contains("domain"))
                    throw std::runtime_error(at + ": needs a \"domain\"");
                SimPerfLevel::Domain out;
                out.domainId = ReadDomainId(domain.at("domain"), at + ".domain");
                if (domain.contains("clockKHz")) out.clockKHz = ToU32(domain.at("clockKHz"), at + ".clockKHz");
                out.clock2KHz = domain.contains("clock2KHz") ? ToU32(domain.at("clock2KHz"), at + ".clock2KHz")
                                                            : out.clockKHz;
                level.domains.push_back(out);
            }
        }
        result.push_back(std::move(level));
    }
    return result;
}

std::vector<uint8_t> ReadBiosImage(const json& bios) {
    std::vector<uint8_t> data;
    size_t offset = 0;
    size_t size = kSimBiosDefaultSize;
    if (bios.is_string()) {
        const std::string text = bios.get<std::string>();
        data.assign(text.begin(), text.end());
    } else if (bios.is_object()) {
        if (bios.contains("text") == bios.contains("hex"))
            throw std::runtime_error("bios: give exactly one of \"text\" and \"hex\"");
        if (bios.contains("text")) {
            if (!bios.at("text").is_string()) throw std::runtime_error("bios.text: must be a string");
            const std::string text = bios.at("text").get<std::string>();
            data.assign(text.begin(), text.end());
        } else {
            if (!bios.at("hex").is_string()) throw std::runtime_error("bios.hex: must be a string");
            data = HexBytes(bios.at("hex").get<std::string>());
        }
        if (bios.contains("offset")) offset = ToU32(bios.at("offset"), "bios.offset");
        if (bios.contains("size")) size = ToU32(bios.at("size"), "bios.size");
        else if (offset + data.size() > size) size = offset + data.size();
    } else {
        throw std::runtime_error("bios: must be a string or an object");
    }
    if (bios.is_string() && data.size() > size) size = data.size();
    if (size > kSimBiosMaxSize)
        throw std::runtime_error("bios.size: at most " + std::to_string(kSimBiosMaxSize) + " bytes");
    if (offset > size || data.size() > size - offset)
        throw std::runtime_error("bios.size: " + std::to_string(size) + " bytes cannot hold " +
                                 std::to_string(data.size()) + " bytes at offset " + std::to_string(offset));
    std::vector<uint8_t> image(size, 0);
    if (!data.empty()) std::memcpy(image.data() + offset, data.data(), data.size());
    return image;
}

std::vector<uint8_t> DefaultBiosImage() {
    std::vector<uint8_t> image(kSimBiosDefaultSize, 0);
    image[0] = 0x55;  // option-ROM signature
    image[1] = 0xAA;
    static const char kVersion[] = "Simulated VGA BIOS KA 86.04.50.00.12 (C) Pyxtune";
    std::memcpy(image.data() + 0x120, kVersion, sizeof kVersion - 1);
    return image;
}

void RegisterDiscoveryOperations(SimOperationTable& table) {
    table[NvOpId(NvOp::GetPerfLevels)] = Address(&GetPerfLevels);
}

}  // namespace pyx::sim
