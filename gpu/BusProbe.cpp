#include "gpu/BusProbe.h"

#include "gpu/BoardIdentification.h"
#include "gpu/CardSensors.h"
#include "gpu/FanControl.h"
#include "gpu/I2cBus.h"

namespace pyx {

namespace {

// Fixed addresses the probes try, one per slot.
constexpr uint8_t kSlot3Address = 0x60;
constexpr uint8_t kSlot0Addresses[] = {0x5C, 0x5A};
constexpr uint8_t kSlot1Address = 0x5C;
constexpr uint8_t kSlot2Address = 0xE0;
constexpr uint8_t kSlot5Address = 0x10;
constexpr uint8_t kSlot6Address = 0x60;
constexpr uint8_t kSlot7Address = 0xE0;
constexpr struct {
    int slot;
    uint8_t address;
} kPlainSlots[] = {{8, 0x30}, {9, 0x90}, {10, 0x92}, {11, 0x94}};

// Registers of the slot-0 fan chip.
constexpr uint8_t kChipConfig = 0x01;
constexpr uint8_t kChipAlarmMask = 0x02;
constexpr uint8_t kChipOwnAddress = 0x04;
constexpr uint8_t kChipTemperature = 0x14;
constexpr uint8_t kChipStatus = 0x1A;
constexpr uint8_t kChipFanConfig = 0x60;
constexpr uint8_t kChipTemperatureOffset = 0x64;
constexpr uint8_t kChipVariant = 0x92;
constexpr int kCalibrationSamples = 8;

NvStatus Read(GpuBoardTable& table, int gpu, int slot, uint8_t reg, uint8_t& value) {
    if (slot == 6) return ReadSlot6Register(table, gpu, &reg, &value);
    return ReadSlotRegister(table, gpu, &reg, &value, slot);
}

// A withheld write is never sent and counts as failed, so each step that needs it is skipped.
NvStatus Write(GpuBoardTable& table, int gpu, int slot, uint8_t reg, uint8_t value) {
    if (table.discoveryWrites == DiscoveryWrites::Withheld) return kNvNotSupported;
    if (slot == 6) return WriteSlot6Register(table, gpu, &reg, &value);
    return WriteSlotRegister(table, gpu, &reg, &value, slot);
}

bool ReadsAs(GpuBoardTable& table, int gpu, int slot, uint8_t reg, uint8_t expected) {
    uint8_t value = 0;
    return Read(table, gpu, slot, reg, value) == kNvOk && value == expected;
}

bool Readable(GpuBoardTable& table, int gpu, int slot, uint8_t reg) {
    uint8_t value = 0;
    return Read(table, gpu, slot, reg, value) == kNvOk;
}

I2cSlot& Slot(GpuBoardTable& table, int gpu, int slot) {
    return table.Board(gpu).i2cSlots[static_cast<size_t>(slot)];
}

// Sets the slot's address, then keeps it only when the test passes.
template <typename Test>
void ProbeAt(GpuBoardTable& table, int gpu, int slot, uint8_t address, Test test) {
    Slot(table, gpu, slot).devAddress = address;
    if (!test()) Slot(table, gpu, slot).devAddress = 0;
}

// One chip reading: latch a fresh conversion (bit 0x04 of the configuration), then read it.
bool ChipTemperature(GpuBoardTable& table, int gpu, int& celsius) {
    uint8_t config = 0;
    if (Read(table, gpu, 0, kChipConfig, config) != kNvOk) return false;
    if (Write(table, gpu, 0, kChipConfig, static_cast<uint8_t>(config | 0x04)) != kNvOk) return false;
    uint8_t temperature = 0;
    if (Read(table, gpu, 0, kChipTemperature, temperature) != kNvOk) return false;
    uint8_t status = 0;
    if (Read(table, gpu, 0, kChipStatus, status) != kNvOk) return false;
    celsius = temperature;
    return true;
}

void ProbeSlot0(GpuBoardTable& table, int gpu) {
    for (const uint8_t address : kSlot0Addresses) {
        Slot(table, gpu, 0).devAddress = address;
        if (ReadsAs(table, gpu, 0, kChipOwnAddress, address)) {
            if (Slot(table, gpu, 3).devAddress == 0) CalibrateSlot0FanChip(table, gpu);
            return;
        }
    }
    Slot(table, gpu, 0).devAddress = 0;
}

}  // namespace

bool RegisterOneTest(GpuBoardTable& table, int gpu, int slot) {
    uint8_t value = 0;
    if (Read(table, gpu, slot, 0x01, value) != kNvOk) return false;
    // Without the write, a chip that answers at the address is taken as the one expected there.
    if (table.discoveryWrites == DiscoveryWrites::Withheld) return true;
    const uint8_t written = value == 0 ? 1 : static_cast<uint8_t>(value - 1);
    if (Write(table, gpu, slot, 0x01, written) != kNvOk) return false;
    uint8_t readBack = 0;
    if (Read(table, gpu, slot, 0x01, readBack) != kNvOk) return false;
    return readBack == written;
}

void ProbeBoardBus(GpuBoardTable& table, int gpu) {
    if (!table.IsValidGpu(gpu)) return;
    GpuBoard& board = table.Board(gpu);
    const uint32_t deviceId = BoardDeviceId(board);

    if (DeviceInList(Slot3DeviceIds(), deviceId))
        ProbeAt(table, gpu, 3, kSlot3Address, [&] { return RegisterOneTest(table, gpu, 3); });
    else
        Slot(table, gpu, 3).devAddress = 0;

    ProbeSlot0(table, gpu);

    ProbeAt(table, gpu, 1, kSlot1Address,
            [&] { return ReadsAs(table, gpu, 1, 0x3D, 0x73) && ReadsAs(table, gpu, 1, 0x3E, 0x41); });
    if (Slot(table, gpu, 1).devAddress != 0) {
        board.fanRangeMax = 100;
        board.fan.Select(FanPath::PacedLibraryCooler);
        Write(table, gpu, 1, 0x7B, 0x55);
    }

    if (DeviceInList(Slot2DeviceIds(), deviceId))
        ProbeAt(table, gpu, 2, kSlot2Address, [&] { return ReadsAs(table, gpu, 2, 0x1A, 0x0A); });

    ProbeAt(table, gpu, 5, kSlot5Address, [&] { return Readable(table, gpu, 5, 0x62); });

    if (DeviceInList(Slot6DeviceIds(), deviceId))
        ProbeAt(table, gpu, 6, kSlot6Address, [&] { return RegisterOneTest(table, gpu, 6); });
    else
        Slot(table, gpu, 6).devAddress = 0;

    if (DeviceInList(Slot7DeviceIds(), deviceId))
        ProbeAt(table, gpu, 7, kSlot7Address, [&] { return ReadsAs(table, gpu, 7, 0x1A, 0x0C); });

    for (const auto& plain : kPlainSlots)
        ProbeAt(table, gpu, plain.slot, plain.address, [&] { return Readable(table, gpu, plain.slot, 0x01); });
}

// The extremes start from the first sample rather than from fixed bounds, so that a chip
// reading warmer than the GPU (a negative difference) is trimmed like any other.
void TemperatureOffsetSamples::Add(int differenceC) {
    if (count_ == 0 || differenceC < min_) min_ = differenceC;
    if (count_ == 0 || differenceC > max_) max_ = differenceC;
    sum_ += differenceC;
    ++count_;
}

std::optional<uint8_t> TemperatureOffsetSamples::NewOffset(uint8_t oldOffset) const {
    if (count_ <= 2) return std::nullopt;
    const int mean = (sum_ - max_ - min_) / (count_ - 2);
    return static_cast<uint8_t>(mean + oldOffset);
}

Slot0Calibration CalibrateSlot0FanChip(GpuBoardTable& table, int gpu) {
    Slot0Calibration result;
    if (!table.IsValidGpu(gpu)) return result;
    GpuBoard& board = table.Board(gpu);
    board.fan.Select(FanPath::TachometerChip);

    uint8_t alarmMask = 0;
    if (Read(table, gpu, 0, kChipAlarmMask, alarmMask) == kNvOk && (alarmMask & 0xC0) != 0)
        Write(table, gpu, 0, kChipAlarmMask, static_cast<uint8_t>(alarmMask & ~0xC0));
    uint8_t variant = 0;
    const bool variantRead = Read(table, gpu, 0, kChipVariant, variant) == kNvOk;
    board.fanChipFlags |= (variantRead && (variant & 0x04) != 0) ? 0x40u : 0x20u;

    const uint32_t maxRpm = board.fanChipFlags == 0x40 ? 3000 : 5500;
    board.fanCurveHigh = 75;
    board.fanCurveLow = 50;
    board.fanRangeMax = maxRpm;
    board.fanRangeMid = maxRpm * 75 / 100;
    board.fanRangeMin = maxRpm * 51 / 100;

    uint8_t oldOffset = 0;
    if (Read(table, gpu, 0, kChipTemperatureOffset, oldOffset) != kNvOk) oldOffset = 0;

    TemperatureOffsetSamples samples;
    for (int i = 0; i < kCalibrationSamples; ++i) {
        int chipC = 0;
        const bool chipOk = ChipTemperature(table, gpu, chipC);
        const std::optional<int32_t> gpuC = CardSensors(table, gpu).ReadGpuTemperatureC();
        if (chipOk && gpuC) samples.Add(*gpuC - chipC);
    }
    result.samples = samples.Count();
    result.offset = samples.NewOffset(oldOffset);
    if (result.offset) {
        uint8_t value = *result.offset;
        if (Write(table, gpu, 0, kChipTemperatureOffset, value) != kNvOk) result.offset.reset();
    }
    return result;
}

void PrepareFanControl(GpuBoardTable& table, int gpu) {
    if (!table.IsValidGpu(gpu)) return;
    GpuBoard& board = table.Board(gpu);
    if (board.i2cSlots[0].devAddress != 0 && board.i2cSlots[3].devAddress == 0) {
        if (board.fan.Path() != FanPath::TachometerChip) return;
        uint8_t config = 0;
        if (Read(table, gpu, 0, kChipFanConfig, config) == kNvOk)
            Write(table, gpu, 0, kChipFanConfig, static_cast<uint8_t>(config & ~0x02));
        return;
    }
    // A board whose cooler record cannot be read keeps its path and the ranges it has; the
    // fan slider then shows what there is.
    (void)ReadBoardCoolerSettings(table, gpu);
    (void)GetFanRange(table, gpu, board.i2cSlots[1].devAddress == 0 ? &board.fanRangeMax : nullptr,
                      &board.fanRangeMin);
}

}  // namespace pyx
