#include "app/ProfileLoadCheck.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "app/CIni.h"
#include "app/CIniText.h"
#include "app/TuningPage.h"
#include "app/TuningRanges.h"
#include "app/TuningSettingsStore.h"
#include "gpu/CardTuning.h"

namespace pyx {

namespace {

constexpr int32_t kCoolerLevelMax = 100;

}  // namespace

ProfileLoadCheck::ProfileLoadCheck(const std::filesystem::path& file, GpuBoardTable& boards) {
    CIni ini;
    if (ini.Load(file)) Check(ini, boards);
}

ProfileLoadCheck::ProfileLoadCheck(const CIni& ini, GpuBoardTable& boards) { Check(ini, boards); }

std::string ProfileLoadCheck::NoGpuMatchesText(const GpuBoardTable& boards) {
    std::string ids;
    for (int gpu = 0; gpu < boards.gpuCount; ++gpu)
        ids += (ids.empty() ? "" : ", ") + std::string("[Gpu") + std::to_string(gpu + 1) +
               "] Id=" + CIniText::ToUtf8(boards.Board(gpu).deviceIdText);
    return "no section names a GPU here (this machine needs " + ids + ")";
}

void ProfileLoadCheck::Check(const CIni& ini, GpuBoardTable& boards) {
    for (int gpu = 0; gpu < std::min<int>(boards.gpuCount, kMaxGpus); ++gpu) {
        const std::string name = "Gpu" + std::to_string(gpu + 1);
        const CTreeNode* section = SectionFor(ini, boards, gpu);
        if (section == nullptr) continue;
        gpus_.push_back(gpu);
        TuningPage card;
        ReadSliderRanges(boards, gpu, card);
        const bool vfPoints = CardTuning(boards, gpu).Style() == TuningStyle::VfPoints;
        const auto has = [&](const char* key) { return CIni::ValueOf(ini.FindChild(section, key)) != nullptr; };
        // scale: the file's unit per unit of the slider (kHz per MHz for the VF offsets).
        const auto check = [&](const char* key, const TuningSlider& range, int64_t scale, const char* unit,
                               bool clock) {
            if (!has(key)) return;
            const int64_t value = ini.ReadInt(section, key);
            overclocks_ = overclocks_ || (clock && value > 0);
            if (value >= range.min * scale && value <= range.max * scale) return;
            refused_.push_back({gpu, key});
            outOfRange_.push_back("[" + name + "] " + key + "=" + std::to_string(value) + " " + unit +
                                  " is outside GPU " + std::to_string(gpu) + "'s range " +
                                  std::to_string(range.min * scale) + ".." + std::to_string(range.max * scale) + " " +
                                  unit);
        };
        check("DyaGpuClock", card.gpuClock, 1, "MHz", true);
        check("DyaMemClock", card.memClock, 1, "MHz", true);
        if (card.power.enabled) check("PowerTarget", card.power, 1, "%", false);
        // A card whose policy cannot be read has no range to hold a limit to: the write is
        // refused there and named with the card's refusals.
        if (const std::optional<ThermalLimitRange> thermal = CardTuning(boards, gpu).ReadThermalLimitRange())
            check("ThermalLimit", TuningSlider{0, thermal->minC, thermal->maxC, true}, 1, "C", false);
        if (vfPoints) {
            check("GpuVF", card.gpuVf, 1000, "kHz", true);
            check("MemVF", card.memVf, 1000, "kHz", true);
        }
        const int32_t fanMode = ini.ReadInt(section, "FanWorkMode");
        // A card that names no span of levels (minimum and maximum alike) leaves the level to the
        // fan rule of the write, which refuses a level no user could have chosen.
        if (fanMode == kFanModeFixed && card.fan.enabled && card.fan.max > card.fan.min)
            check("FanSpeed", card.fan, 1, card.fanUnit == FanUnit::Rpm ? "RPM" : "%", false);
        if (fanMode == kFanModeCoolers) check("FanSpeed", TuningSlider{0, 0, kCoolerLevelMax, true}, 1, "(level)", false);
        if (fanMode == kFanModeCurve) {
            const CardTuning tuning(boards, gpu);
            std::string why;
            std::optional<FanCurve> curve = ReadFanCurve(ini, section, &why);
            const FanUnit unit = tuning.FixedFanUnit();
            if (curve)
                if (std::optional<std::string> fault = FanCurveFault(*curve, tuning.FixedFanLevels(), unit)) why = *fault;
            if (!curve || !why.empty()) {
                refused_.push_back({gpu, "FanCurve"});
                outOfRange_.push_back("[" + name + "] FanCurve is not used on GPU " + std::to_string(gpu) + ": " + why);
            }
        }
    }
}

const std::string* ProfileLoadCheck::OutOfRange(int gpu, std::string_view key) const {
    for (size_t i = 0; i < refused_.size(); ++i)
        if (refused_[i].gpu == gpu && refused_[i].key == key) return &outOfRange_[i];
    return nullptr;
}

}  // namespace pyx
