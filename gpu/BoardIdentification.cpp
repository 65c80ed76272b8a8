#include "gpu/BoardIdentification.h"

#include <algorithm>
#include <array>

#include "gpu/FanControl.h"

namespace pyx {

namespace {

constexpr std::array<uint16_t, 49> kSupported = {
    0x6cd,  0x6c0,  0x6c4,  0xe22,  0xdc4,  0x1080, 0x1081, 0x1200, 0x1201, 0x1244,
    0xde0,  0xde1,  0x1245, 0x1205, 0x1180, 0x1189, 0xfc1,  0xf00,  0x104a, 0x1188,
    0x1183, 0x11c0, 0xfc6,  0x11c6, 0xfc0,  0x1185, 0x124b, 0x1005, 0x11c2, 0x1184,
    0x1187, 0x1284, 0x1282, 0x1004, 0x11c8, 0x1b80, 0x1b81, 0x1c02, 0x1c03, 0x1c82,
    0x1c81, 0x1b84, 0x1b06, 0x1d01, 0x1c07, 0x1b87, 0x1b82, 0x1c06, 0x1c04};
constexpr std::array<uint16_t, 6> kFamilyA = {0x1180, 0x1189, 0x1188, 0x1183, 0x11c0, 0x1185};
constexpr std::array<uint16_t, 9> kFamilyB = {0xfc1,  0xfc6,  0x11c6, 0xfc0, 0x124b,
                                              0x11c2, 0x1284, 0x1282, 0x11c8};
constexpr std::array<uint16_t, 4> kFamilyC = {0x1005, 0x1004, 0x1184, 0x1187};
constexpr std::array<uint16_t, 14> kFamilyD = {0x1b80, 0x1b81, 0x1c02, 0x1c03, 0x1c82, 0x1c81, 0x1b84,
                                               0x1b06, 0x1d01, 0x1c07, 0x1b87, 0x1b82, 0x1c06, 0x1c04};
constexpr std::array<uint16_t, 3> kSlot2 = {0x5e2, 0x5e3, 0x5e6};
constexpr std::array<uint16_t, 3> kSlot3 = {0xca3, 0xde0, 0xde1};
constexpr std::array<uint16_t, 8> kSlot6 = {0xe22, 0x1200, 0x1244, 0x1080, 0x1180, 0x11c0, 0x1004, 0x1005};
constexpr std::array<uint16_t, 3> kSlot7 = {0xe22, 0x1200, 0x1244};

// Boards that are known but whose bus layout predates the families.
constexpr uint32_t kIdentifiedOnlyA = 0xe22;
constexpr uint32_t kIdentifiedOnlyB = 0xdc4;
constexpr uint32_t kSubsysBoardDeviceId = 0x1b82;
constexpr uint32_t kSubsysA014 = 0xa014;

// Levels that take part in the check: plain ones (flags 0 or 1) and those marked with bit
// 0x2 or 0x4; other flag combinations describe levels the board never runs at.
bool LevelCounts(uint32_t flags) { return flags <= 1 || (flags & 0x2) != 0 || (flags & 0x4) != 0; }

}  // namespace

std::span<const uint16_t> SupportedDeviceIds() { return kSupported; }
std::span<const uint16_t> FamilyADeviceIds() { return kFamilyA; }
std::span<const uint16_t> FamilyBDeviceIds() { return kFamilyB; }
std::span<const uint16_t> FamilyCDeviceIds() { return kFamilyC; }
std::span<const uint16_t> FamilyDDeviceIds() { return kFamilyD; }
std::span<const uint16_t> Slot2DeviceIds() { return kSlot2; }
std::span<const uint16_t> Slot3DeviceIds() { return kSlot3; }
std::span<const uint16_t> Slot6DeviceIds() { return kSlot6; }
std::span<const uint16_t> Slot7DeviceIds() { return kSlot7; }

bool DeviceInList(std::span<const uint16_t> list, uint32_t deviceId) {
    return deviceId != 0 && std::find(list.begin(), list.end(), deviceId) != list.end();
}

uint32_t BoardDeviceId(const GpuBoard& board) {
    uint32_t id = 0;
    for (int i = 0; i < 4; ++i) {
        const char16_t c = board.deviceIdText[i];
        uint32_t digit = 0;
        if (c >= u'0' && c <= u'9') digit = static_cast<uint32_t>(c - u'0');
        else if (c >= u'a' && c <= u'f') digit = static_cast<uint32_t>(c - u'a' + 10);
        else if (c >= u'A' && c <= u'F') digit = static_cast<uint32_t>(c - u'A' + 10);
        else return 0;
        id = id * 16 + digit;
    }
    return id;
}

BoardFamily FamilyOf(uint32_t deviceId) {
    if (DeviceInList(kFamilyA, deviceId)) return BoardFamily::A;
    if (DeviceInList(kFamilyB, deviceId)) return BoardFamily::B;
    if (DeviceInList(kFamilyC, deviceId)) return BoardFamily::C;
    if (DeviceInList(kFamilyD, deviceId)) return BoardFamily::D;
    return BoardFamily::None;
}

bool IsSubsysA014(uint32_t deviceId, uint32_t subSystemId) {
    return deviceId == kSubsysBoardDeviceId && subSystemId / 65535u == kSubsysA014;
}

NvStatus IdentifyBoard(GpuBoardTable& table, int gpu) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    uint32_t pciId = 0;
    uint32_t subSystemId = 0;
    if (const NvStatus status = table.ReadPciIdentifiers(gpu, &pciId, &subSystemId); status != kNvOk)
        return status;
    GpuBoard& board = table.Board(gpu);
    const uint32_t deviceId = BoardDeviceId(board);
    board.hasFanCoolersApi = QueryFanCoolers(table, gpu, nullptr, nullptr) == 1 ? 1 : 0;

    board.isSubsysA014 = false;
    board.hasBoostClock = 0;
    board.family = BoardFamily::None;

    NvClockFrequencies clocks{};
    clocks.version = kClockFrequenciesTag;
    clocks.clockType = kClockTypeBoost;
    if (table.Library().GetAllClockFrequencies(board.gpuHandle, &clocks) == kNvOk &&
        clocks.domain[kDomainGraphics].frequencyKHz != 0)
        board.hasBoostClock = 1;

    if (DeviceInList(kSupported, deviceId)) {
        if (deviceId == kIdentifiedOnlyA || deviceId == kIdentifiedOnlyB) return kNvOk;
        board.family = FamilyOf(deviceId);
    }
    board.isSubsysA014 = IsSubsysA014(deviceId, subSystemId);
    return kNvOk;
}

NvStatus CheckPerfLevels(GpuBoardTable& table, int gpu) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    GpuBoard& board = table.Board(gpu);
    NvPerfLevels levels{};
    levels.version = kPerfLevelsTag;
    if (const NvStatus status = table.Library().GetPerfLevels(board.gpuHandle, -1, &levels); status != kNvOk)
        return status;
    constexpr uint32_t kMaxLevels = sizeof levels.level / sizeof levels.level[0];
    constexpr uint32_t kMaxDomains = sizeof levels.level[0].domain / sizeof levels.level[0].domain[0];
    const uint32_t levelCount = std::min(levels.levelCount, kMaxLevels);
    bool anyCounted = false;
    for (uint32_t i = 0; i < levelCount; ++i) {
        const auto& level = levels.level[i];
        if (!LevelCounts(level.flags)) continue;
        anyCounted = true;
        const uint32_t domainCount = std::min(level.domainCount, kMaxDomains);
        for (uint32_t d = 0; d < domainCount; ++d) {
            const auto& domain = level.domain[d];
            if (domain.domainId == kDomainGraphics) board.hasGraphicsClock = 1;
            if (domain.domainId == kDomainMemory && domain.clockKHz != 0 && domain.clock2KHz != 0)
                board.hasMemoryClock = 1;
        }
    }
    return anyCounted ? kNvOk : kNvFailed;
}

}  // namespace pyx
