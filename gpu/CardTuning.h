#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "gpu/CardWrites.h"
#include "gpu/ClockControl.h"
#include "gpu/FanPath.h"
#include "gpu/FanState.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/TuningSnapshot.h"

namespace pyx {

// Where a card keeps the tuning the modes and the settings file set.
enum class TuningStyle : uint8_t {
    PstateOffsets,       // P-state 0 clock deltas, with a boost clock the modes scale from
    PstateWithoutBoost,  // the same without a boost clock: the window refuses such a card
    VfPoints,            // on the clock-client VF points as well as in P-state 0
};

// One clock domain's P-state 0 offset and the range the card takes.
struct ClockOffset {
    int32_t valueKHz = 0;
    int32_t minKHz = 0;
    int32_t maxKHz = 0;
};

// P-state 0's graphics and memory offsets; zeros for a domain P-state 0 does not list.
struct ClockOffsets {
    ClockOffset graphics;
    ClockOffset memory;
};

// The first power policy's range, thousandths of a percent.
struct PowerRange {
    uint32_t minPcm = 0;
    uint32_t defaultPcm = 0;
    uint32_t maxPcm = 0;
};

// The whole degrees the acoustic policy's limit takes: the whole numbers within its range.
struct ThermalLimitRange {
    int32_t minC = 0;
    int32_t maxC = 0;
};

// The levels a fan path takes, in its unit.
struct FanLevelRange {
    int32_t min = 0;
    int32_t max = 0;
};

// The domain of a VF point the modes write: graphics or memory.
enum class VfPointDomain : uint8_t { Graphics, Memory };

// One programmable VF point of the graphics or memory domain and its offset.
struct VfPointOffset {
    int index = 0;
    VfPointDomain domain = VfPointDomain::Graphics;
    int32_t offsetKHz = 0;

    bool operator==(const VfPointOffset&) const = default;
};

// The graphics offset of the one board variant that takes a fixed overclock.
inline constexpr int32_t kFixedOverclockKHz = 127000;

// Typed reads and writes of one card's tuning over the library's records: the modes, the
// settings file and the sliders are composed from these and never see a record. A refused
// write stops nothing; every answer is in the CardWrites returned. A GPU the table does not
// hold reads nothing and writes nothing.
class CardTuning {
public:
    CardTuning(GpuBoardTable& table, int gpu) : table_(table), gpu_(gpu) {}

    bool Valid() const { return table_.IsValidGpu(gpu_); }
    // What the card is; asked of a valid GPU only.
    TuningStyle Style() const;
    std::optional<int32_t> FixedOverclockKHz() const;
    FanPath Fan() const;
    FanUnit FanLevelUnit() const;
    // The card's fans answer the fan-cooler interface (whatever its fan path).
    bool HasFanCoolers() const;
    // The levels the fan path takes; none on the fan-cooler path, which has no level of its own.
    std::optional<FanLevelRange> FanLevels() const;
    // The levels a fixed level of this card's fan takes, whichever way it is driven: the fan
    // path's, or on a card with fan coolers their lowest hand-set level to 100 %.
    FanLevelRange FixedFanLevels() const;
    // The unit of those levels: percent on a card with fan coolers, else the fan path's.
    FanUnit FixedFanUnit() const;

    BoostClocks ReadBoostClocks() const;
    std::optional<ClockOffsets> ReadClockOffsets() const;
    // The P-state record is read once more after a refused offset, so the driver settles;
    // nothing is taken from it.
    void SettleAfterRefusedOffset() const;
    // Keeps the board's powerPolicyInfoWord on success.
    std::optional<PowerRange> ReadPowerRange() const;
    std::optional<uint32_t> ReadPowerPcm() const;
    // The level the fan path reads (its mode read first: the library paths read from it).
    std::optional<int32_t> ReadFanLevel() const;
    // The first cooler's level through the fan-cooler interface.
    std::optional<int32_t> ReadFanCoolerLevel() const;
    // Whether the fan-cooler interface's first cooler runs at a fixed level: asked of the card
    // (its control record), else what this run last told it; Unknown when neither can say.
    FanControlMode ReadFanCoolerMode() const;
    // Every fan the card has, as it runs now: the board's own fan path (unless that path is the
    // fan-cooler interface) and each cooler of the fan-cooler interface.
    std::vector<FanOutletState> ReadFans() const;
    // The acoustic policy's current limit, whole degrees; none without a readable policy.
    std::optional<int32_t> ReadThermalLimitC() const;
    // The same limit as the policy holds it (1/256 degrees, which a float carries exactly), so
    // that writing it back changes nothing.
    std::optional<float> ReadExactThermalLimitC() const;
    // None without a readable acoustic policy; an inverted range when it takes no whole degree.
    std::optional<ThermalLimitRange> ReadThermalLimitRange() const;
    // Every programmable point of the programmable graphics and memory domains, by index; empty
    // for a card without such domains, none when the VF curve cannot be read.
    std::optional<std::vector<VfPointOffset>> ReadVfPoints() const;

    // Every fan path the card has back under the card's own control, each answer reported.
    CardWrites HandBackFans() const;
    // Only the fans this run set to a fixed level and has not handed back.
    CardWrites HandBackPinnedFans() const;
    // Some fan of this card holds a fixed level this run set.
    bool FanPinned() const;

    CardWrites Write(const TuningSnapshot& snapshot) const;
    // Each point to its own offset. One entry per domain, as a snapshot's VF offsets give: the
    // first point that refused, else the domain's last point.
    CardWrites WriteVfPoints(const std::vector<VfPointOffset>& points) const;
    // One cooler of the fan-cooler interface to percent (0: the card's own control), by the
    // rule a snapshot's cooler level follows: a level below the coolers' minimum is refused
    // and the cooler handed back.
    CardWrites WriteFanCooler(uint32_t coolerId, int32_t percent) const;
    // The acoustic policy's default limit, in whole degrees, set again. Without a usable policy
    // there is no default to go back to: the 0 then sent changes nothing and is not reported.
    CardWrites RestoreDefaultThermalLimit() const;

private:
    [[nodiscard]] NvStatus WritePower(uint32_t powerPcm) const;
    [[nodiscard]] NvStatus WriteThermalLimit(float celsius) const;
    void WriteFan(const FanRequest& request, CardWrites& out) const;
    bool FixedLevelAccepted(int32_t level) const;
    [[nodiscard]] NvStatus RestoreBoardFan() const;
    int32_t FanCoolerMinimum() const;
    void WriteVfOffsets(const TuningSnapshot& snapshot, CardWrites& out) const;

    GpuBoardTable& table_;
    int gpu_;
};

}  // namespace pyx
