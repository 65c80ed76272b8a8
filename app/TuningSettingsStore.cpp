#include "app/TuningSettingsStore.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "app/CIni.h"
#include "app/CIniText.h"
#include "app/FanCoolerPair.h"
#include "app/FileReplacement.h"
#include "gpu/ClockControl.h"
#include "gpu/FanControl.h"
#include "gpu/PowerControl.h"
#include "gpu/VfControl.h"
#include "led/LedBoardState.h"
#include "led/LedProbe.h"

namespace pyx {

namespace {

namespace fs = std::filesystem;

// Fan work modes as the file stores them.
constexpr int32_t kFanModeAuto = 1;
constexpr int32_t kFanModeFixed = 2;
constexpr int32_t kFanModeCoolers = 3;
// Written when the card would not say which mode its fan is in.
constexpr int32_t kFanModeUnknown = 255;
// Written for the speed when the card would not report one.
constexpr int32_t kFallbackFanSpeed = 40;

// One section's values; a key the section lacks reads as 0.
struct SectionValues {
    int32_t gpuClockMHz = 0;
    int32_t memClockMHz = 0;
    int32_t powerTarget = 0;
    int32_t fanWorkMode = 0;
    int32_t fanSpeed = 0;
    int32_t gpuMode = 0;
    int32_t gm1Mode = 0;
    int32_t gm2Mode = 0;
    int32_t gpuVfKHz = 0;
    int32_t memVfKHz = 0;
    int32_t ledMode = 0;
    int32_t red = 0;
    int32_t green = 0;
    int32_t blue = 0;
    int32_t timer1 = 0;
    int32_t timer2 = 0;
    int32_t timer3 = 0;
    // Which of the lines the save leaves out when the card would not report them the section
    // holds.
    bool hasGpuClock = false;
    bool hasMemClock = false;
    bool hasPowerTarget = false;
};

fs::path FileOrDefault(const fs::path& fileName) {
    return fileName.empty() ? fs::path(kTuningSettingsFileName) : fileName;
}

std::string SectionName(int gpu) { return "Gpu" + std::to_string(gpu + 1); }

std::u16string_view DeviceIdOf(const GpuBoard& board) {
    const char16_t* text = board.deviceIdText;
    const size_t capacity = std::size(board.deviceIdText);
    return {text, static_cast<size_t>(std::find(text, text + capacity, u'\0') - text)};
}

int32_t Saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// MHz from the file to kHz for the card. A file may hold any 32-bit number; one too large to
// scale asks for the furthest offset rather than wrapping round to one of the other sign.
int32_t MHzToKHz(int32_t mhz) { return Saturate(static_cast<int64_t>(mhz) * 1000); }

uint8_t LowByte(int32_t value) { return static_cast<uint8_t>(value & 0xFF); }

SectionValues ReadSection(const CIni& ini, const CTreeNode* section) {
    SectionValues v;
    v.gpuClockMHz = ini.ReadInt(section, "DyaGpuClock");
    v.memClockMHz = ini.ReadInt(section, "DyaMemClock");
    v.powerTarget = ini.ReadInt(section, "PowerTarget");
    v.fanWorkMode = ini.ReadInt(section, "FanWorkMode");
    v.fanSpeed = ini.ReadInt(section, "FanSpeed");
    v.gpuMode = ini.ReadInt(section, "GpuMode");
    v.gm1Mode = ini.ReadInt(section, "GM1MODE");
    v.gm2Mode = ini.ReadInt(section, "GM2MODE");
    v.gpuVfKHz = ini.ReadInt(section, "GpuVF");
    v.memVfKHz = ini.ReadInt(section, "MemVF");
    v.ledMode = ini.ReadInt(section, "LEDMODE");
    v.red = ini.ReadInt(section, "LED_R_CR");
    v.green = ini.ReadInt(section, "LED_G_CR");
    v.blue = ini.ReadInt(section, "LED_B_CR");
    v.timer1 = ini.ReadInt(section, "LED_Timer1");
    v.timer2 = ini.ReadInt(section, "LED_Timer2");
    v.timer3 = ini.ReadInt(section, "LED_Timer3");
    v.hasGpuClock = CIni::ValueOf(ini.FindChild(section, "DyaGpuClock")) != nullptr;
    v.hasMemClock = CIni::ValueOf(ini.FindChild(section, "DyaMemClock")) != nullptr;
    v.hasPowerTarget = CIni::ValueOf(ini.FindChild(section, "PowerTarget")) != nullptr;
    return v;
}

// Every write of a load and the card's answer; without a report the answers are dropped.
struct LoadLog {
    TuningReport* report;
    int gpu;
    void operator()(TuningOperation operation, int64_t value, NvStatus status) const {
        if (report != nullptr) report->Add(gpu, operation, value, status);
    }
};

void ApplyFan(GpuBoardTable& table, int gpu, int32_t fanWorkMode, int32_t fanSpeed, const LoadLog& log) {
    switch (fanWorkMode) {
        case kFanModeAuto: {
            const NvStatus status = RestoreFanAuto(table, gpu);
            // The library fans' restore answers "not supported" whatever the card did.
            const uint32_t type = table.Board(gpu).fanControlType.load();
            if (!(type <= 1 && status == kNvNotSupported)) log(TuningOperation::FanAutomatic, 0, status);
            break;
        }
        case kFanModeFixed:
            log(table.Board(gpu).fanControlType.load() == 3 ? TuningOperation::FanSpeedRpm : TuningOperation::FanSpeed,
                fanSpeed, SetFanLevel(table, gpu, fanSpeed));
            break;
        case kFanModeCoolers:
            log(TuningOperation::FanCoolerLevel, fanSpeed, SetFanCoolerPair(table, gpu, static_cast<float>(fanSpeed)));
            break;
        default:
            break;  // a mode this program does not know changes nothing
    }
}

void ApplyPowerTarget(GpuBoardTable& table, int gpu, int32_t percent, const LoadLog& log) {
    NvPowerPoliciesStatus status;
    std::memset(&status, 0, sizeof status);
    status.version = kPowerPoliciesStatusTag;
    const NvStatus read = GetPowerPolicyStatus(table, gpu, &status);
    if (read != kNvOk) {
        // Nothing reaches the card: the target is refused all the same.
        log(TuningOperation::PowerTarget, percent, read);
        return;
    }
    status.entries[0].powerPcm = static_cast<uint32_t>(Saturate(static_cast<int64_t>(percent) * 1000));
    log(TuningOperation::PowerTarget, percent, SetPowerPolicyStatus(table, gpu, &status));
}

// One entry per domain: the first point that refused the offset, else the last point's answer.
void ApplyVfOffsets(GpuBoardTable& table, int gpu, int32_t gpuVfKHz, int32_t memVfKHz, const LoadLog& log) {
    // A domain the board does not list keeps this empty span, so neither offset can land on
    // the other domain's points.
    ClockDomainRanges ranges;
    ranges.graphicsFirstVf = ranges.memoryFirstVf = 1;
    ranges.graphicsLastVf = ranges.memoryLastVf = 0;
    if (ReadClockDomains(table, gpu, &ranges) != kNvOk) return;
    const auto setSpan = [&](int first, int last, int32_t offsetKHz, TuningOperation operation) {
        if (first > last) return;
        NvStatus refused = kNvOk;
        for (int point = first; point <= last; ++point) {
            const NvStatus status = SetVfPointOffset(table, gpu, point, offsetKHz);
            if (refused == kNvOk) refused = status;
        }
        log(operation, offsetKHz, refused);
    };
    setSpan(ranges.graphicsFirstVf, ranges.graphicsLastVf, gpuVfKHz, TuningOperation::GraphicsVfOffset);
    setSpan(ranges.memoryFirstVf, ranges.memoryLastVf, memVfKHz, TuningOperation::MemoryVfOffset);
}

void ApplySection(const SectionValues& v, GpuBoardTable& table, int gpu, AppState& state, TuningReport* report) {
    const LoadLog log{report, gpu};
    state.tuningSettings.gpuClockOffsetMHz = v.gpuClockMHz;
    state.tuningSettings.memClockOffsetMHz = v.memClockMHz;
    state.tuningSettings.powerTargetPercent = v.powerTarget;
    state.tuningSettings.fanWorkMode = v.fanWorkMode;
    state.tuningSettings.fanSpeed = v.fanSpeed;
    state.gpuMode = LowByte(v.gpuMode);

    ApplyFan(table, gpu, v.fanWorkMode, v.fanSpeed, log);

    const GpuBoard& board = table.Board(gpu);
    if (board.hasBoostClock != 0 && board.familyD == 0) {
        log(TuningOperation::GraphicsClockOffset, v.gpuClockMHz,
            SetGraphicsClockOffset(table, gpu, MHzToKHz(v.gpuClockMHz)));
        log(TuningOperation::MemoryClockOffset, v.memClockMHz, SetMemoryClockOffset(table, gpu, MHzToKHz(v.memClockMHz)));
        ApplyPowerTarget(table, gpu, v.powerTarget, log);
    }
    // A board without a boost clock is tuned by the command-line tool only (the window refuses
    // it); what the file says of it is put back, and nothing it does not say.
    if (board.hasBoostClock == 0 && board.familyD == 0) {
        if (v.hasGpuClock)
            log(TuningOperation::GraphicsClockOffset, v.gpuClockMHz,
                SetGraphicsClockOffset(table, gpu, MHzToKHz(v.gpuClockMHz)));
        if (v.hasMemClock)
            log(TuningOperation::MemoryClockOffset, v.memClockMHz,
                SetMemoryClockOffset(table, gpu, MHzToKHz(v.memClockMHz)));
        if (v.hasPowerTarget) ApplyPowerTarget(table, gpu, v.powerTarget, log);
    }
    if (board.familyD != 0) {
        ApplyPowerTarget(table, gpu, v.powerTarget, log);
        // These boards keep offsets on their VF points and in their P-states both: Extreme,
        // Performance and Custom set the P-state offsets, which the save writes as it found
        // them, so they are put back as well. A file that lacks the lines leaves them alone.
        if (v.hasGpuClock)
            log(TuningOperation::GraphicsClockOffset, v.gpuClockMHz,
                SetGraphicsClockOffset(table, gpu, MHzToKHz(v.gpuClockMHz)));
        if (v.hasMemClock)
            log(TuningOperation::MemoryClockOffset, v.memClockMHz,
                SetMemoryClockOffset(table, gpu, MHzToKHz(v.memClockMHz)));
        ApplyVfOffsets(table, gpu, v.gpuVfKHz, v.memVfKHz, log);
    }

    const LedKind kind = ProbeLedKind(table, gpu);
    if (kind != LedKind::None) state.ledControllerKind = kind;

    // The lights themselves are set by the main window once it is up.
    state.ledSettings.ledMode = LowByte(v.ledMode);
    state.ledSettings.red = LowByte(v.red);
    state.ledSettings.green = LowByte(v.green);
    state.ledSettings.blue = LowByte(v.blue);
    state.ledSettings.timer1 = LowByte(v.timer1);
    state.ledSettings.timer2 = LowByte(v.timer2);
    state.ledSettings.timer3 = LowByte(v.timer3);
    state.ledSettings.gm1Mode = LowByte(v.gm1Mode);
    state.ledSettings.gm2Mode = LowByte(v.gm2Mode);
}

int32_t ReadFanWorkMode(GpuBoardTable& table, int gpu) {
    if (table.Board(gpu).hasFanCoolersApi != 0) return kFanModeCoolers;
    int32_t mode = kFanModeUnknown;
    if (GetFanMode(table, gpu, &mode) != kNvOk) return kFanModeUnknown;
    return mode;
}

int32_t ReadFanSpeed(GpuBoardTable& table, int gpu, int32_t fanWorkMode) {
    if (fanWorkMode == kFanModeCoolers) {
        // The coolers' level is what they run at, not what they were told: a level saved from
        // coolers under automatic control would fix them at it on the next start, however hot
        // the card then runs. Coolers this program handed back to automatic control are saved
        // as such (level 0). The interface cannot say how coolers this run never touched are
        // driven; their level is kept, as it always was, lest a level set by hand be lost.
        if (table.Board(gpu).fanCoolerControl.load() == FanCoolerControl::Automatic) return 0;
        NvFanCoolersStatus status;
        std::memset(&status, 0, sizeof status);
        if (QueryFanCoolers(table, gpu, nullptr, &status) != 1) return kFallbackFanSpeed;
        return static_cast<int32_t>(status.entries[0].currentLevel);
    }
    int32_t speed = kFallbackFanSpeed;
    if (GetFanReading(table, gpu, &speed) != kNvOk) return kFallbackFanSpeed;
    return speed;
}

// The P0 offset of one clock domain in kHz; 0 when P0 does not list that domain.
int32_t P0OffsetKHz(const NvPstates20& record, uint32_t domainId) {
    if (record.numPstates == 0) return 0;
    const NvPstates20::Pstate& p0 = record.pstates[0];
    const uint32_t clocks = std::min<uint32_t>(record.numClocks, std::size(p0.clocks));
    for (uint32_t c = 0; c < clocks; ++c)
        if (p0.clocks[c].domainId == domainId) return p0.clocks[c].freqDelta_kHz.value;
    return 0;
}

void AddClockOffsets(SettingsFileWriter& writer, GpuBoardTable& table, int gpu) {
    NvPstates20 record;
    std::memset(&record, 0, sizeof record);
    if (GetPstates20(table, gpu, &record) != kNvOk) return;
    writer.AddNumber("DyaGpuClock", P0OffsetKHz(record, kDomainGraphics) / 1000);
    writer.AddNumber("DyaMemClock", P0OffsetKHz(record, kDomainMemory) / 1000);
}

void AddPowerTarget(SettingsFileWriter& writer, GpuBoardTable& table, int gpu) {
    NvPowerPoliciesStatus status;
    std::memset(&status, 0, sizeof status);
    status.version = kPowerPoliciesStatusTag;
    if (GetPowerPolicyStatus(table, gpu, &status) != kNvOk) return;
    writer.AddNumber("PowerTarget", static_cast<int32_t>(status.entries[0].powerPcm) / 1000);
}

// The VF read keeps the last programmable point's offsets of this GPU in state; when it
// fails, state keeps what it held.
void RefreshVfAndOverVoltage(GpuBoardTable& table, int gpu, AppState& state) {
    VfOffsetReadings readings;
    readings.gpuVfOffset = state.gpuVfOffset;
    readings.memVfOffset = state.memVfOffset;
    if (ReadVfPointOffsets(table, gpu, &readings) == kNvOk) {
        state.gpuVfOffset = readings.gpuVfOffset;
        state.memVfOffset = readings.memVfOffset;
    }
    ReadOverVoltage(table, gpu);
}

void AddSection(SettingsFileWriter& writer, GpuBoardTable& table, int gpu, AppState& state) {
    writer.AddSection(gpu + 1);
    writer.AddText("Id", DeviceIdOf(table.Board(gpu)));

    const int32_t fanWorkMode = ReadFanWorkMode(table, gpu);
    writer.AddNumber("FanWorkMode", fanWorkMode);
    // An automatic fan has no speed worth keeping.
    if (fanWorkMode != kFanModeAuto) writer.AddNumber("FanSpeed", ReadFanSpeed(table, gpu, fanWorkMode));

    AddClockOffsets(writer, table, gpu);
    AddPowerTarget(writer, table, gpu);
    writer.AddNumber("GpuMode", state.gpuMode);

    RefreshVfAndOverVoltage(table, gpu, state);
    writer.AddNumber("GpuVF", state.gpuVfOffset);
    writer.AddNumber("MemVF", state.memVfOffset);
    writer.AddNumber("PercentOV", table.percentOv);

    const LedSettings& led = state.ledSettings;
    writer.AddNumber("LEDMODE", led.ledMode);
    writer.AddNumber("LED_R_CR", led.red);
    writer.AddNumber("LED_G_CR", led.green);
    writer.AddNumber("LED_B_CR", led.blue);
    writer.AddNumber("LED_Timer1", led.timer1);
    writer.AddNumber("LED_Timer2", led.timer2);
    writer.AddNumber("LED_Timer3", led.timer3);
    writer.AddNumber("GM1MODE", led.gm1Mode);
    writer.AddNumber("GM2MODE", led.gm2Mode);
}

int GpuCount(const GpuBoardTable& table) { return std::min<int>(table.gpuCount, kMaxGpus); }

}  // namespace

int32_t LoadTuningSettings(const fs::path& fileName, GpuBoardTable& table, AppState& state, TuningReport* report) {
    CIni ini;
    if (!ini.Load(FileOrDefault(fileName))) return 0;

    int32_t matched = 0;
    for (int gpu = 0; gpu < GpuCount(table); ++gpu) {
        // A file without this GPU's section holds nothing for it, even when the GPU's own id
        // could not be read and is empty.
        const CTreeNode* section = ini.FindChild(ini.Root(), SectionName(gpu));
        if (section == nullptr) continue;
        if (!CIniText::EqualsIgnoreCase(ini.ReadText(section, "Id"), DeviceIdOf(table.Board(gpu))))
            continue;
        matched = 1;
        ApplySection(ReadSection(ini, section), table, gpu, state, report);
    }
    ini.Release();
    return matched;
}

SettingsFileWriter ComposeTuningSettings(GpuBoardTable& table, AppState& state) {
    SettingsFileWriter writer;
    for (int gpu = 0; gpu < GpuCount(table); ++gpu) AddSection(writer, table, gpu, state);
    return writer;
}

int32_t SaveTuningSettings(GpuBoardTable& table, AppState& state, const fs::path& fileName) {
    // The file is opened before any card is read: a save that cannot be written reads nothing
    // and changes nothing.
    const auto replacement = FileReplacement::Begin(FileOrDefault(fileName));
    if (!replacement) return 0;
    // What the save learns from the cards is kept only once the file holds it.
    AppState draft = state;
    const uint8_t percentOv = table.percentOv;
    const SettingsFileWriter writer = ComposeTuningSettings(table, draft);
    if (!replacement->Commit(writer.Bytes())) {
        table.percentOv = percentOv;
        return 0;
    }
    state = draft;
    return 1;
}

}  // namespace pyx
