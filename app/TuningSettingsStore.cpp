#include "app/TuningSettingsStore.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/CIni.h"
#include "app/CIniText.h"
#include "app/ProfileLoadCheck.h"
#include "gpu/CardTuning.h"
#include "gpu/FanControl.h"
#include "gpu/VfControl.h"
#include "led/LedBoardState.h"
#include "led/LedProbe.h"
#include "platform/FileReplacement.h"

namespace pyx {

namespace {

namespace fs = std::filesystem;

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
    // Whole degrees; only a file that holds the line changes the card's thermal limit.
    std::optional<int32_t> thermalLimitC;
    std::optional<FanCurve> fanCurve;  // with kFanModeCurve, when the section's curve is sound
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
    if (CIni::ValueOf(ini.FindChild(section, "ThermalLimit")) != nullptr)
        v.thermalLimitC = ini.ReadInt(section, "ThermalLimit");
    if (v.fanWorkMode == kFanModeCurve) v.fanCurve = ReadFanCurve(ini, section);
    return v;
}

// How the file's fan work mode asks for the fan; none for a mode this program does not know.
std::optional<FanRequest> FanRequestOf(int32_t fanWorkMode, int32_t fanSpeed) {
    switch (fanWorkMode) {
        case kFanModeAuto: return FanRequest::Automatic();
        case kFanModeFixed: return FanRequest::Fixed(fanSpeed);
        case kFanModeCoolers: return FanRequest::CoolerLevel(fanSpeed);
        default: return std::nullopt;
    }
}

LedSettings LedSettingsOf(const SectionValues& v) {
    return {.ledMode = LowByte(v.ledMode),
            .red = LowByte(v.red),
            .green = LowByte(v.green),
            .blue = LowByte(v.blue),
            .timer1 = LowByte(v.timer1),
            .timer2 = LowByte(v.timer2),
            .timer3 = LowByte(v.timer3),
            .gm1Mode = LowByte(v.gm1Mode),
            .gm2Mode = LowByte(v.gm2Mode)};
}

// keep: whether a key's value may be sent (false for one outside the card's range).
void ApplySection(const SectionValues& v, GpuBoardTable& table, int gpu, AppState& state, TuningReport* report,
                  const std::function<bool(const char*)>& keep) {
    CardWrites writes;
    const CardTuning card(table, gpu);
    state.tuningSettings.gpuClockOffsetMHz = v.gpuClockMHz;
    state.tuningSettings.memClockOffsetMHz = v.memClockMHz;
    state.tuningSettings.powerTargetPercent = v.powerTarget;
    state.tuningSettings.fanWorkMode = v.fanWorkMode;
    state.tuningSettings.fanSpeed = v.fanSpeed;
    state.gpuMode = LowByte(v.gpuMode);

    // A curve is run by whoever owns the cards from its next tick; any other fan mode the file
    // names ends the curve the GPU followed. A mode nobody knows leaves both alone.
    std::optional<FanCurve>& curve = state.fanCurves[static_cast<size_t>(gpu)];
    if (v.fanWorkMode == kFanModeCurve) {
        if (keep("FanCurve") && v.fanCurve) curve = v.fanCurve;
    } else if (const std::optional<FanRequest> fan = FanRequestOf(v.fanWorkMode, v.fanSpeed)) {
        curve.reset();
        if (keep("FanSpeed")) writes.Append(card.Write({.fan = fan}));
    }

    // Graphics before memory, as the file lists them.
    const auto putOffsets = [&](bool presentOnly) {
        if ((!presentOnly || v.hasGpuClock) && keep("DyaGpuClock"))
            writes.Append(card.Write({.graphicsOffsetKHz = Thousandfold(v.gpuClockMHz)}));
        if ((!presentOnly || v.hasMemClock) && keep("DyaMemClock"))
            writes.Append(card.Write({.memoryOffsetKHz = Thousandfold(v.memClockMHz)}));
    };
    const auto putPower = [&] {
        if (keep("PowerTarget")) writes.Append(card.Write({.powerPcm = Thousandfold(v.powerTarget)}));
    };
    switch (card.Style()) {
        case TuningStyle::PstateOffsets:
            putOffsets(false);
            putPower();
            break;
        case TuningStyle::PstateWithoutBoost:
            // Tuned by the command-line tool only (the window refuses it): what the file says
            // of it is put back, and nothing it does not say.
            putOffsets(true);
            if (v.hasPowerTarget) putPower();
            break;
        case TuningStyle::VfPoints: {
            putPower();
            // These boards keep offsets on their VF points and in their P-states both: Extreme,
            // Performance and Custom set the P-state offsets, which the save writes as it found
            // them, so they are put back as well. A file that lacks the lines leaves them alone.
            putOffsets(true);
            TuningSnapshot vf;
            if (keep("GpuVF")) vf.graphicsVfOffsetKHz = v.gpuVfKHz;
            if (keep("MemVF")) vf.memoryVfOffsetKHz = v.memVfKHz;
            if (vf.graphicsVfOffsetKHz || vf.memoryVfOffsetKHz) writes.Append(card.Write(vf));
            break;
        }
    }
    if (v.thermalLimitC && keep("ThermalLimit"))
        writes.Append(card.Write({.thermalLimitC = static_cast<float>(*v.thermalLimitC)}));
    if (report != nullptr) report->Add(gpu, writes);

    const LedKind kind = ProbeLedKind(table, gpu);
    if (kind != LedKind::None) state.ledControllerKind = kind;

    // The lights themselves are set by the main window once it is up.
    state.ledSettings = LedSettingsOf(v);
}

// What the save keeps of a card's fan. A fan is saved as fixed only when the card (or, where
// the card cannot say, this run) says it runs at a fixed level, and only with a level read in
// the unit the fan takes: a fan saved fixed at a level it merely ran at would be pinned there
// at every start, however hot the card then runs; a lost level is set again with one Apply.
struct SavedFan {
    int32_t workMode = kFanModeAuto;
    std::optional<int32_t> speed;  // none: no FanSpeed line
};

SavedFan ReadSavedFan(GpuBoardTable& table, int gpu) {
    const CardTuning card(table, gpu);
    if (card.HasFanCoolers()) {
        // Level 0 is the file's way to say the coolers run automatically.
        SavedFan coolers{kFanModeCoolers, 0};
        if (card.ReadFanCoolerMode() == FanControlMode::Manual)
            if (const std::optional<int32_t> level = card.ReadFanCoolerLevel(); level && *level > 0) coolers.speed = level;
        return coolers;
    }
    int32_t mode = kFanModeUnknown;
    if (GetFanMode(table, gpu, &mode) != kNvOk) mode = kFanModeUnknown;
    if (mode == kFanModeAuto) return {};
    int32_t speed = 0;
    const bool read = GetFanReading(table, gpu, &speed) == kNvOk;
    if (mode == kFanModeFixed) return read ? SavedFan{kFanModeFixed, speed} : SavedFan{};
    // A mode the card would not tell is loaded as "apply nothing"; its speed line is kept for
    // the file's readers and never reaches a fan.
    return {mode, read ? speed : kFallbackFanSpeed};
}

void AddClockOffsets(SettingsFileWriter& writer, GpuBoardTable& table, int gpu) {
    const std::optional<ClockOffsets> offsets = CardTuning(table, gpu).ReadClockOffsets();
    if (!offsets) return;
    writer.AddNumber("DyaGpuClock", offsets->graphics.valueKHz / 1000);
    writer.AddNumber("DyaMemClock", offsets->memory.valueKHz / 1000);
}

void AddPowerTarget(SettingsFileWriter& writer, GpuBoardTable& table, int gpu) {
    const std::optional<uint32_t> powerPcm = CardTuning(table, gpu).ReadPowerPcm();
    if (!powerPcm) return;
    writer.AddNumber("PowerTarget", static_cast<int32_t>(*powerPcm) / 1000);
}

// Only a limit of whole degrees is written, so that a load sets exactly the limit the card
// held. A limit between two degrees (which only another program could have set) leaves the
// line out, as an unreadable policy does: the load then leaves the card's limit alone rather
// than move it to a degree the card never held.
void AddThermalLimit(SettingsFileWriter& writer, GpuBoardTable& table, int gpu) {
    const std::optional<float> limitC = CardTuning(table, gpu).ReadExactThermalLimitC();
    if (!limitC || std::trunc(*limitC) != *limitC) return;
    writer.AddNumber("ThermalLimit", static_cast<int32_t>(*limitC));
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
    (void)ReadOverVoltage(table, gpu);  // a listing for the diagnostics; nothing is kept from it
}

void AddSection(SettingsFileWriter& writer, GpuBoardTable& table, int gpu, AppState& state) {
    writer.AddSection(gpu + 1);
    writer.AddText("Id", DeviceIdOf(table.Board(gpu)));

    if (const std::optional<FanCurve>& curve = state.fanCurves[static_cast<size_t>(gpu)]) {
        writer.AddNumber("FanWorkMode", kFanModeCurve);
        writer.AddText("FanCurve", std::string_view(FormatFanCurvePoints(*curve)));
        if (curve->autoBelow) writer.AddNumber("FanCurveAutoBelow", 1);
    } else {
        const SavedFan fan = ReadSavedFan(table, gpu);
        writer.AddNumber("FanWorkMode", fan.workMode);
        if (fan.speed) writer.AddNumber("FanSpeed", *fan.speed);
    }

    AddClockOffsets(writer, table, gpu);
    AddPowerTarget(writer, table, gpu);
    AddThermalLimit(writer, table, gpu);
    writer.AddNumber("GpuMode", state.gpuMode);

    RefreshVfAndOverVoltage(table, gpu, state);
    writer.AddNumber("GpuVF", state.gpuVfOffset);
    writer.AddNumber("MemVF", state.memVfOffset);
    writer.AddNumber("PercentOV", table.percentOv);

    const LedSettings led = state.gpuLedSettings[static_cast<size_t>(gpu)].value_or(state.ledSettings);
    writer.AddNumber("LEDMODE", led.ledMode);
    writer.AddNumber("LED_R_CR", led.red);
    writer.AddNumber("LED_G_CR", led.green);
    writer.AddNumber("LED_B_CR", led.blue);
    writer.AddNumber("LED_Timer1", led.timer1);
    writer.AddNumber("LED_Timer2", led.timer2);
    writer.AddNumber("LED_Timer3", led.timer3);
    writer.AddNumber("GM1MODE", led.gm1Mode);
    writer.AddNumber("GM2MODE", led.gm2Mode);
    if (const auto target = state.ledTargets[static_cast<size_t>(gpu)])
        writer.AddNumber("LedTarget", static_cast<uint32_t>(*target));
}

int GpuCount(const GpuBoardTable& table) { return std::min<int>(table.gpuCount, kMaxGpus); }

}  // namespace

std::optional<FanCurve> ReadFanCurve(const CIni& ini, const CTreeNode* section, std::string* why) {
    if (CIni::ValueOf(ini.FindChild(section, "FanCurve")) == nullptr) {
        if (why != nullptr) *why = "the section has no FanCurve line";
        return std::nullopt;
    }
    std::string points;
    for (const char16_t c : ini.ReadText(section, "FanCurve")) points += c < 0x80 ? static_cast<char>(c) : '?';
    std::optional<FanCurve> curve = ParseFanCurvePoints(points, why);
    if (curve) curve->autoBelow = ini.ReadInt(section, "FanCurveAutoBelow") == 1;
    return curve;
}

const CTreeNode* SectionFor(const CIni& ini, const GpuBoardTable& table, int gpu) {
    // A file without this GPU's section holds nothing for it, even when the GPU's own id could
    // not be read and is empty.
    const CTreeNode* section = ini.FindChild(ini.Root(), SectionName(gpu));
    if (section == nullptr) return nullptr;
    return CIniText::EqualsIgnoreCase(ini.ReadText(section, "Id"), DeviceIdOf(table.Board(gpu))) ? section : nullptr;
}

int32_t LoadTuningSettings(const fs::path& fileName, GpuBoardTable& table, AppState& state, TuningReport* report) {
    CIni ini;
    if (!ini.Load(FileOrDefault(fileName))) return 0;
    return ApplyTuningSettings(ini, table, state, report);
}

int32_t ApplyTuningSettings(const CIni& ini, GpuBoardTable& table, AppState& state, TuningReport* report) {
    // A value outside its card's range never reaches the card (a file edited by hand, or one
    // written for another card); the rest of the section still does, and the report says
    // which were skipped.
    const ProfileLoadCheck ranges(ini, table);
    int32_t matched = 0;
    for (int gpu = 0; gpu < GpuCount(table); ++gpu) {
        const CTreeNode* section = SectionFor(ini, table, gpu);
        if (section == nullptr) continue;
        matched = 1;
        const auto keep = [&](const char* key) {
            const std::string* why = ranges.OutOfRange(gpu, key);
            if (why != nullptr && report != nullptr) report->Skip(*why);
            return why == nullptr;
        };
        ApplySection(ReadSection(ini, section), table, gpu, state, report, keep);
    }
    return matched;
}

bool ReadLighting(const fs::path& fileName, const GpuBoardTable& table, AppState& state) {
    CIni ini;
    if (!ini.Load(FileOrDefault(fileName))) return false;
    bool matched = false;
    for (int gpu = 0; gpu < GpuCount(table); ++gpu) {
        const CTreeNode* section = SectionFor(ini, table, gpu);
        if (section == nullptr) continue;
        matched = true;
        state.ledSettings = LedSettingsOf(ReadSection(ini, section));
        state.gpuLedSettings[static_cast<size_t>(gpu)] = state.ledSettings;
        std::optional<LedTarget>& target = state.ledTargets[static_cast<size_t>(gpu)];
        target.reset();
        if (CIni::ValueOf(ini.FindChild(section, "LedTarget")) == nullptr) continue;
        const int32_t value = ini.ReadInt(section, "LedTarget");
        for (const LedTarget known : {LedTarget::Basic, LedTarget::Zone58, LedTarget::EffectAC, LedTarget::EffectGroup,
                                      LedTarget::Zone46, LedTarget::ZoneGroup})
            if (value == static_cast<int32_t>(known)) target = known;
    }
    return matched;
}

SettingsFileWriter ComposeTuningSettings(GpuBoardTable& table, AppState& state) {
    SettingsFileWriter writer;
    for (int gpu = 0; gpu < GpuCount(table); ++gpu) AddSection(writer, table, gpu, state);
    return writer;
}

int32_t SaveTuningSettings(GpuBoardTable& table, AppState& state, const fs::path& fileName, std::error_code* why) {
    // The file is opened before any card is read: a save that cannot be written reads nothing
    // and changes nothing.
    std::error_code notMade;
    const auto replacement = FileReplacement::Begin(FileOrDefault(fileName), notMade);
    if (!replacement) {
        if (why != nullptr) *why = notMade;
        return 0;
    }
    // What the save learns from the cards is kept only once the file holds it.
    AppState draft = state;
    const uint8_t percentOv = table.percentOv;
    const SettingsFileWriter writer = ComposeTuningSettings(table, draft);
    if (!replacement->Commit(writer.Bytes())) {
        table.percentOv = percentOv;
        if (why != nullptr) *why = replacement->Error();
        return 0;
    }
    state = draft;
    return 1;
}

}  // namespace pyx
