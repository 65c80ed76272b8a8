#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"
#include "gpu/BoardIdentification.h"
#include "gpu/BusProbe.h"
#include "sim/SimRegisterFile.h"

namespace pyx {
namespace {

using test::CardJson;
using test::ScenarioJson;
using Kind = sim::SimI2cRecord::Kind;

// Register 0x01 ignores writes, as on a chip where it is read-only.
class ReadOnlyRegisterOne : public sim::SimRegisterFile {
public:
    explicit ReadOnlyRegisterOne(uint8_t value) : value_(value) { registers_[0x01] = value; }

protected:
    void OnWrite(uint8_t reg, uint8_t) override {
        if (reg == 0x01) registers_[0x01] = value_;
    }

private:
    uint8_t value_;
};

// A slot-0 fan chip whose temperature register gives one sample per read and stops
// answering after `answered` samples.
class SampledFanChip : public sim::SimRegisterFile {
public:
    SampledFanChip(uint8_t address, std::vector<uint8_t> samples, size_t answered)
        : samples_(std::move(samples)), answered_(answered) {
        registers_[0x04] = address;
    }
    bool Read(uint8_t reg, uint8_t* data, size_t length) override {
        if (reg == 0x14 && reads_ >= answered_) return false;
        return SimRegisterFile::Read(reg, data, length);
    }

protected:
    void OnRead(uint8_t reg) override {
        if (reg != 0x14) return;
        registers_[0x14] = samples_[reads_ < samples_.size() ? reads_ : samples_.size() - 1];
        ++reads_;
    }

private:
    std::vector<uint8_t> samples_;
    size_t answered_;
    size_t reads_ = 0;
};

struct Probed {
    explicit Probed(uint32_t deviceId, const std::string& i2c = "[]", const std::string& extra = "")
        : rig(ScenarioJson({CardJson(deviceId, 0x11223344, i2c, extra)})) {
        EXPECT_EQ(IdentifyBoard(*rig.table, 0), kNvOk);
    }
    void Probe() {
        rig.sim->Card(0).bus.ClearLog();
        ProbeBoardBus(*rig.table, 0);
    }
    GpuBoard& Board() { return rig.table->Board(0); }
    uint8_t Address(int slot) { return Board().i2cSlots[static_cast<size_t>(slot)].devAddress; }
    template <typename T>
    T* Chip(uint8_t address) { return rig.sim->Card(0).bus.DeviceAs<T>(address); }
    // Device address and register of every primary read, in order.
    std::vector<std::pair<int, int>> Reads() {
        std::vector<std::pair<int, int>> reads;
        for (const auto& r : rig.sim->Card(0).bus.Log())
            if (r.kind == Kind::Read) reads.emplace_back(r.devAddress, r.reg);
        return reads;
    }
    std::vector<sim::SimI2cRecord> WritesTo(uint8_t address, uint8_t reg) {
        std::vector<sim::SimI2cRecord> writes;
        for (const auto& r : rig.sim->Card(0).bus.Log())
            if ((r.kind == Kind::Write || r.kind == Kind::WriteEx) && r.devAddress == address && r.reg == reg)
                writes.push_back(r);
        return writes;
    }
    test::SimWorld rig;
};

using Reads = std::vector<std::pair<int, int>>;

TEST(BusProbe, ProbesTheSlotsInTheirOrderOnAnEmptyBus) {
    // 0x1200 has devices at slots 6 and 7; nothing answers, so each probe is one read.
    Probed a(0x1200);
    a.Probe();
    EXPECT_EQ(a.Reads(), (Reads{{0x5C, 0x04}, {0x5A, 0x04}, {0x5C, 0x3D}, {0x10, 0x62}, {0x60, 0x01},
                                {0xE0, 0x1A}, {0x30, 0x01}, {0x90, 0x01}, {0x92, 0x01}, {0x94, 0x01}}));
    // 0xde0 has a device at slot 3 (first); 0x5e2 one at slot 2 (after slot 1).
    Probed b(0xde0);
    b.Probe();
    EXPECT_EQ(b.Reads().front(), std::make_pair(0x60, 0x01));
    EXPECT_EQ(b.Reads().size(), 9u);
    Probed c(0x5e2);
    c.Probe();
    EXPECT_EQ(c.Reads()[3], std::make_pair(0xE0, 0x1A));
    EXPECT_EQ(c.Reads()[4], std::make_pair(0x10, 0x62));
    for (int slot = 0; slot < kI2cSlotCount; ++slot) EXPECT_EQ(a.Address(slot), 0) << slot;
}

TEST(BusProbe, KeepsTheAddressOfEveryDeviceThatAnswers) {
    Probed p(0x1200, R"([{"address": "0x60"}, {"address": "0xE0", "registers": {"0x1A": "0x0C"}},
                          {"address": "0x10"}, {"address": "0x30"}, {"address": "0x90"},
                          {"address": "0x92"}, {"address": "0x94"}])");
    p.Probe();
    EXPECT_EQ(p.Address(6), 0x60);
    EXPECT_EQ(p.Address(7), 0xE0);
    EXPECT_EQ(p.Address(5), 0x10);
    EXPECT_EQ(p.Address(8), 0x30);
    EXPECT_EQ(p.Address(9), 0x90);
    EXPECT_EQ(p.Address(10), 0x92);
    EXPECT_EQ(p.Address(11), 0x94);
    EXPECT_EQ(p.Address(3), 0) << "0x1200 carries nothing at slot 3";
    EXPECT_EQ(p.Address(0), 0);
    EXPECT_EQ(p.Address(1), 0);
    EXPECT_EQ(p.Board().fan.Path(), FanPath::LibraryCooler);

    Probed wrongId(0x1200, R"([{"address": "0xE0", "registers": {"0x1A": "0x0A"}}])");
    wrongId.Probe();
    EXPECT_EQ(wrongId.Address(7), 0) << "slot 7 wants 0x0C in register 0x1A";
}

TEST(BusProbe, RegisterOneTestNeedsTheWrittenValueBack) {
    Probed p(0xde0, R"([{"address": "0x60", "registers": {"0x01": "0x20"}}])");
    p.Probe();
    EXPECT_EQ(p.Address(3), 0x60);
    EXPECT_EQ(p.Chip<sim::SimRegisterFile>(0x60)->Get(0x01), 0x1F) << "left at v - 1";

    Probed zero(0xde0, R"([{"address": "0x60"}])");
    zero.Probe();
    EXPECT_EQ(zero.Address(3), 0x60);
    EXPECT_EQ(zero.Chip<sim::SimRegisterFile>(0x60)->Get(0x01), 0x01) << "0 is followed by 1, not 0xFF";

    Probed readOnly(0xde0);
    readOnly.rig.sim->Card(0).bus.Attach(0x60, std::make_unique<ReadOnlyRegisterOne>(0x20));
    readOnly.Probe();
    EXPECT_EQ(readOnly.Address(3), 0);
}

TEST(BusProbe, Slot6UsesItsOwnRequestsOnFamilyABoards) {
    Probed p(0x1180, R"([{"address": "0x60"}])");
    ASSERT_EQ(p.Board().family, BoardFamily::A);
    p.Probe();
    EXPECT_EQ(p.Address(6), 0x60);
    int slot6 = 0;
    for (const auto& r : p.rig.sim->Card(0).bus.Log()) {
        if (r.devAddress != 0x60) continue;
        ++slot6;
        EXPECT_EQ(r.version, kI2cRequestV3Tag);
        EXPECT_EQ(r.portId, 1);
    }
    EXPECT_EQ(slot6, 3) << "read, write, read";
}

TEST(BusProbe, Slot0TriesTheSecondAddressAndChecksTheChipsOwn) {
    Probed p(0x1b81);
    p.rig.sim->Card(0).bus.Attach(0x5A, std::make_unique<SampledFanChip>(0x5A, std::vector<uint8_t>{40}, 8));
    p.Probe();
    EXPECT_EQ(p.Address(0), 0x5A);
    EXPECT_EQ(p.Board().fan.Path(), FanPath::TachometerChip);

    Probed wrong(0x1b81, R"([{"address": "0x5C", "registers": {"0x04": "0x5A"}}])");
    wrong.Probe();
    EXPECT_EQ(wrong.Address(0), 0) << "the chip at 0x5C does not name itself";
    EXPECT_EQ(wrong.Board().fan.Path(), FanPath::LibraryCooler);
}

TEST(BusProbe, ChipAnsweringBothFanProbesEndsAsTypeOne) {
    Probed p(0x1b81, R"([{"address": "0x5C", "registers": {"0x04": "0x5C", "0x3D": "0x73", "0x3E": "0x41"}}])");
    p.Probe();
    EXPECT_EQ(p.Address(0), 0x5C);
    EXPECT_EQ(p.Address(1), 0x5C);
    EXPECT_EQ(p.Board().fan.Path(), FanPath::PacedLibraryCooler);
    EXPECT_EQ(p.Board().fanRangeMax, 100u);
    EXPECT_EQ(p.Chip<sim::SimRegisterFile>(0x5C)->Get(0x7B), 0x55);

    Probed half(0x1b81, R"([{"address": "0x5C", "registers": {"0x3D": "0x73", "0x3E": "0x40"}}])");
    half.Probe();
    EXPECT_EQ(half.Address(1), 0);
    EXPECT_EQ(half.Board().fan.Path(), FanPath::LibraryCooler);
}

TEST(BusProbe, NoCalibrationWhenSlot3HasADevice) {
    Probed p(0xde0, R"([{"address": "0x60"}, {"address": "0x5C", "registers": {"0x04": "0x5C"}}])");
    p.Probe();
    EXPECT_EQ(p.Address(3), 0x60);
    EXPECT_EQ(p.Address(0), 0x5C);
    EXPECT_EQ(p.Board().fan.Path(), FanPath::LibraryCooler);
    EXPECT_EQ(p.Board().fanChipFlags, 0u);
}

// GPU at gpuC; the chip reports the given samples, answering `answered` of them.
struct Calibration {
    Calibration(int gpuC, std::vector<uint8_t> chipC, size_t answered, uint8_t oldOffset, uint8_t variant = 0)
        : probed(0x1b81, "[]", "\"temperatureC\": " + std::to_string(gpuC)) {
        auto chip = std::make_unique<SampledFanChip>(0x5C, std::move(chipC), answered);
        chip->Set(0x64, oldOffset);
        chip->Set(0x92, variant);
        chip->Set(0x02, 0xC3);
        probed.rig.sim->Card(0).bus.Attach(0x5C, std::move(chip));
        probed.Board().i2cSlots[0].devAddress = 0x5C;
        probed.rig.sim->Card(0).bus.ClearLog();
        result = CalibrateSlot0FanChip(*probed.rig.table, 0);
    }
    uint8_t Register(uint8_t reg) { return probed.Chip<sim::SimRegisterFile>(0x5C)->Get(reg); }
    Probed probed;
    Slot0Calibration result;
};

TEST(Slot0Calibration, WritesTheTrimmedMeanOfEightSamples) {
    // Differences 10 8 11 5 9 10 7 12: without 12 and 5 the mean is 55 / 6 = 9.
    Calibration c(60, {50, 52, 49, 55, 51, 50, 53, 48}, 8, 2);
    EXPECT_EQ(c.result.samples, 8);
    ASSERT_TRUE(c.result.offset.has_value());
    EXPECT_EQ(*c.result.offset, 11);
    EXPECT_EQ(c.Register(0x64), 11);
    EXPECT_EQ(c.Register(0x02), 0x03) << "fault bits cleared";
    EXPECT_EQ(c.Register(0x01) & 0x04, 0x04) << "conversions started";
    EXPECT_EQ(c.probed.WritesTo(0x5C, 0x64).size(), 1u);
}

TEST(Slot0Calibration, ThreeSamplesGiveTheMiddleOneAndTwoWriteNothing) {
    Calibration three(60, {50, 55, 45}, 3, 0);
    EXPECT_EQ(three.result.samples, 3);
    EXPECT_EQ(three.Register(0x64), 10);

    Calibration two(60, {50, 55, 45}, 2, 7);
    EXPECT_EQ(two.result.samples, 2);
    EXPECT_FALSE(two.result.offset.has_value());
    EXPECT_EQ(two.Register(0x64), 7);
    EXPECT_TRUE(two.probed.WritesTo(0x5C, 0x64).empty());
}

TEST(Slot0Calibration, AChipWarmerThanTheGpuIsTrimmedLikeAnyOther) {
    // Differences -5 -6 -7: the middle one is -6, written as a byte.
    Calibration c(40, {45, 46, 47}, 3, 0);
    ASSERT_TRUE(c.result.offset.has_value());
    EXPECT_EQ(*c.result.offset, static_cast<uint8_t>(-6));

    TemperatureOffsetSamples samples;
    for (int d : {-3, -3, -3, -3}) samples.Add(d);
    EXPECT_EQ(samples.NewOffset(10), 7);
}

TEST(Slot0Calibration, WithoutAGpuSensorNoSampleCounts) {
    Probed p(0x1b81, "[]", "\"temperatureC\": 60");
    p.rig.sim->Card(0).sensors[0].target = 2;  // a board sensor, not the GPU
    p.rig.sim->Card(0).bus.Attach(0x5C, std::make_unique<SampledFanChip>(0x5C, std::vector<uint8_t>{50}, 8));
    p.Board().i2cSlots[0].devAddress = 0x5C;
    const auto result = CalibrateSlot0FanChip(*p.rig.table, 0);
    EXPECT_EQ(result.samples, 0);
    EXPECT_TRUE(p.WritesTo(0x5C, 0x64).empty());
}

TEST(Slot0Calibration, TheChipVariantSetsTheSpeedRange) {
    Calibration slow(60, {50}, 8, 0, 0x04);
    const GpuBoard& s = slow.probed.Board();
    EXPECT_EQ(s.fan.Path(), FanPath::TachometerChip);
    EXPECT_EQ(s.fanChipFlags, 0x40u);
    EXPECT_EQ(s.fanRangeMax, 3000u);
    EXPECT_EQ(s.fanRangeMid, 2250u);
    EXPECT_EQ(s.fanRangeMin, 1530u);
    EXPECT_EQ(s.fanCurveHigh, 75);
    EXPECT_EQ(s.fanCurveLow, 50);

    Calibration fast(60, {50}, 8, 0, 0x00);
    const GpuBoard& f = fast.probed.Board();
    EXPECT_EQ(f.fanChipFlags, 0x20u);
    EXPECT_EQ(f.fanRangeMax, 5500u);
    EXPECT_EQ(f.fanRangeMid, 4125u);
    EXPECT_EQ(f.fanRangeMin, 2805u);
}

}  // namespace
}  // namespace pyx
