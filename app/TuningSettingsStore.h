#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/AppState.h"
#include "app/CIni.h"
#include "app/FanCurve.h"
#include "app/SettingsFileWriter.h"
#include "app/TuningReport.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

// The per-GPU settings file in the settings folder (SettingsLocation), re-applied at every
// start.
inline constexpr char kTuningSettingsFileName[] = "Preformance.txt";
// The same file written by the lighting apply when several GPUs are present. The window never
// reads it back; the service, which has no window, puts its lighting back from it.
inline constexpr char kLedSettingsFileName[] = "Led.txt";

// Fan work modes as the file stores them ("FanWorkMode").
inline constexpr int32_t kFanModeAuto = 1;
inline constexpr int32_t kFanModeFixed = 2;
inline constexpr int32_t kFanModeCoolers = 3;
// The fan follows the section's "FanCurve" (and "FanCurveAutoBelow"); readers that do not know
// the mode apply nothing to the fan, as for any mode they do not know.
inline constexpr int32_t kFanModeCurve = 4;

// The curve a section's "FanCurve" line gives ("40:30,50:35,..." and "FanCurveAutoBelow=1");
// none, with the reason in why, for a line that is missing or not a sound curve.
std::optional<FanCurve> ReadFanCurve(const CIni& ini, const CTreeNode* section, std::string* why = nullptr);

// The section of a loaded file that holds GPU gpu's settings: "[Gpu<gpu+1>]" whose "Id" names
// that GPU's device id (any letter case); null when the file has none.
const CTreeNode* SectionFor(const CIni& ini, const GpuBoardTable& table, int gpu);

// Reads a settings file ("Preformance.txt", "Led.txt" or a profile; an empty name means
// "Preformance.txt" in the current folder) and applies each "[Gpu<n>]" section whose "Id"
// names GPU n-1's device id: tuning values into state, then fan, clock offsets, power target,
// VF offsets and (where the section holds one) the thermal limit onto the card, and the
// lighting controller probe. A refused write stops nothing; with report given, every write
// and the card's answer is added to it. Returns 1 when at least one GPU's section matched,
// else 0; a file that cannot be read changes nothing.
int32_t LoadTuningSettings(const std::filesystem::path& fileName, GpuBoardTable& table,
                           AppState& state, TuningReport* report = nullptr);
// The same for settings read already (a profile a client sent as values).
int32_t ApplyTuningSettings(const CIni& ini, GpuBoardTable& table, AppState& state, TuningReport* report = nullptr);

// The lighting a settings file keeps into state: the bytes as a load leaves them (those of the
// last section that names one of these GPUs), and each such GPU's own bytes and "LedTarget". False, and state
// untouched, when no section names a GPU here or the file cannot be read.
bool ReadLighting(const std::filesystem::path& fileName, const GpuBoardTable& table, AppState& state);

// Writes every GPU's current state (and state's mode and lighting bytes) to the file, replacing
// it in one step. An empty name means "Preformance.txt". Refreshes the table's over-voltage
// percent and state's VF offsets from each card on the way. Returns 1 when the file was
// written, 0 when it could not be, in which case the old file, the table and state are left
// as they were (a file that cannot be made is found out before any card is read), and `why`,
// when given, holds the system's reason (no space left on device, permission denied).
int32_t SaveTuningSettings(GpuBoardTable& table, AppState& state,
                           const std::filesystem::path& fileName, std::error_code* why = nullptr);

// The text SaveTuningSettings writes, read from the cards as it goes.
SettingsFileWriter ComposeTuningSettings(GpuBoardTable& table, AppState& state);

}  // namespace pyx
