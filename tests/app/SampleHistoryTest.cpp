// The history's ring: exactly the last hour of each GPU, whatever the cadence, across the
// ring's wrap, on virtual time; and a sample read from the card as it reads back.
#include "app/SampleHistory.h"

#include <gtest/gtest.h>

#include "gpu/NvApiIds.h"
#include "tests/app/TuningControllerTestRig.h"

namespace pyx::test {
namespace {

constexpr int64_t kStartMs = 1714564800000;  // 2024-05-01T12:00:00Z
constexpr int64_t kHourMs = 3600 * 1000;

HistorySample Sample(int gpu, int64_t timeMs) {
    HistorySample s;
    s.gpu = gpu;
    s.timeMs = timeMs;
    // Values that move with time, so that a sample out of its place shows.
    s.graphicsClockMHz = static_cast<uint32_t>(1000 + timeMs / 1000 % 1000);
    s.temperatureC = static_cast<int32_t>(timeMs / 1000 % 90);
    s.powerLimitPcm = static_cast<uint32_t>(50000 + timeMs / 1000 % 100000);
    return s;
}

struct Cadence {
    const char* name;
    int64_t stepMs;      // between samples
    int64_t jitterMs;    // added to every other sample
    int64_t gapFromMs;   // sampling stops here for gapMs (0: never)
    int64_t gapMs;
    int64_t totalMs;     // how long it runs
};

// After every sample, the history holds exactly the samples (of those added) that lie within
// an hour of the newest: none older, none lost, in order; checked through several wraps.
TEST(SampleHistory, KeepsExactlyTheLastHourAcrossItsWrap) {
    const Cadence cadences[] = {
        {"one a second for three hours", 1000, 0, 0, 0, 3 * kHourMs},
        {"a loop that wakes a little late every other second", 1000, 7, 0, 0, 2 * kHourMs + 1500},
        {"a wall clock the time service runs fast (999 ms seconds)", 999, 0, 0, 0, 2 * kHourMs},
        {"sampling stopped for ten minutes", 1000, 0, 90 * 60 * 1000, 10 * 60 * 1000, 3 * kHourMs},
        {"stopped longer than the hour", 1000, 0, 30 * 60 * 1000, 2 * kHourMs, 4 * kHourMs},
    };
    for (const Cadence& c : cadences) {
        SCOPED_TRACE(c.name);
        SampleHistory history(1);
        std::vector<int64_t> added;
        int64_t checkedAt = 0;
        for (int64_t t = 0, i = 0; t < c.totalMs; t += c.stepMs, ++i) {
            if (c.gapMs > 0 && t >= c.gapFromMs && t < c.gapFromMs + c.gapMs) continue;
            const int64_t timeMs = kStartMs + t + (i % 2 == 1 ? c.jitterMs : 0);
            history.Add(Sample(0, timeMs));
            added.push_back(timeMs);
            // Every sample near each wrap, and one in 97 elsewhere: the whole walk stays quick.
            if (added.size() % SampleHistory::kSlotsPerGpu > 3 && added.size() % 97 != 0) continue;
            checkedAt = timeMs;
            std::vector<int64_t> expected;
            for (const int64_t a : added)
                if (a > timeMs - kHourMs) expected.push_back(a);
            const std::vector<HistorySample> kept = history.Since(0);
            ASSERT_EQ(kept.size(), expected.size()) << "at " << t << " ms";
            for (size_t k = 0; k < kept.size(); ++k) ASSERT_EQ(kept[k], Sample(0, expected[k])) << "at " << t;
        }
        EXPECT_GT(checkedAt, kStartMs + kHourMs) << "the walk passed the hour";
        EXPECT_GT(added.size(), SampleHistory::kSlotsPerGpu) << "the walk wrapped the ring";
    }
}

// Two GPUs' samples come back in time order, one GPU or both, from a time on.
TEST(SampleHistory, AnswersSinceATimeForOneGpuOrAll) {
    SampleHistory history(2);
    for (int64_t s = 0; s < 10; ++s) {
        history.Add(Sample(1, kStartMs + s * 1000 + 1));
        history.Add(Sample(0, kStartMs + s * 1000 + 1));
    }
    history.Add(Sample(2, kStartMs));  // no such GPU: not kept, nothing overwritten
    const std::vector<HistorySample> both = history.Since(kStartMs + 7001);
    ASSERT_EQ(both.size(), 6u);
    for (size_t i = 0; i < both.size(); ++i) {
        EXPECT_EQ(both[i].gpu, static_cast<int>(i % 2)) << "GPU 0 before GPU 1 at the same time";
        EXPECT_EQ(both[i].timeMs, kStartMs + 7001 + static_cast<int64_t>(i / 2) * 1000);
    }
    EXPECT_EQ(history.Since(kStartMs + 8500, 1).size(), 1u);
    EXPECT_TRUE(history.Since(kStartMs + 9002).empty());
    EXPECT_EQ(history.Since(0, 0).size(), 10u);
    ASSERT_TRUE(history.Latest(1).has_value());
    EXPECT_EQ(history.Latest(1)->timeMs, kStartMs + 9001);
    EXPECT_FALSE(history.Latest(2).has_value());
}

// A wall clock set back: what lies "after" the new sample is dropped, and the history stays
// in time order for the questions that follow.
TEST(SampleHistory, AClockSetBackDropsTheSamplesAfterIt) {
    SampleHistory history(1);
    for (int64_t s = 0; s < 20; ++s) history.Add(Sample(0, kStartMs + s * 1000));
    history.Add(Sample(0, kStartMs + 5500));
    const std::vector<HistorySample> kept = history.Since(0);
    ASSERT_EQ(kept.size(), 7u);
    EXPECT_EQ(kept.back().timeMs, kStartMs + 5500);
    EXPECT_EQ(kept[5].timeMs, kStartMs + 5000);
}

// Every series survives the ring's narrow slots as it was, absent ones absent; a value wider
// than its slot (no card gives one) is not made into another number.
TEST(SampleHistory, SlotsGiveBackWhatWasPut) {
    HistorySample full;
    full.timeMs = kStartMs;
    full.graphicsClockMHz = 2100;
    full.memoryClockMHz = 10501;
    full.temperatureC = -5;
    full.fanPercent = 100;
    full.fanRpm = 3200;
    full.loadPercent = 99;
    full.powerDrawMilliwatts = 450123;
    full.thermalLimitC = 83;
    full.powerLimitPcm = 112500;
    HistorySample sparse;
    sparse.timeMs = kStartMs + 1000;
    sparse.temperatureC = 0;  // a real 0 is kept, distinct from none
    HistorySample wide = full;
    wide.timeMs = kStartMs + 2000;
    wide.graphicsClockMHz = 70000;
    wide.temperatureC = 40000;
    const HistorySample cases[] = {full, sparse, wide};
    SampleHistory history(1);
    for (const HistorySample& c : cases) history.Add(c);
    const std::vector<HistorySample> kept = history.Since(0);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0], full);
    EXPECT_EQ(kept[1], sparse);
    EXPECT_FALSE(kept[2].graphicsClockMHz.has_value());
    EXPECT_FALSE(kept[2].temperatureC.has_value());
    EXPECT_EQ(kept[2].memoryClockMHz, 10501u);
}

TEST(SampleHistory, AnHourOfTwoGpusTakesUnderOneMegabyte) {
    const SampleHistory history(2);
    EXPECT_LT(history.MemoryBytes(), 1000u * 1000u);
    EXPECT_GE(history.MemoryBytes(), 2 * 3600 * 32u);
}

// A sample read from the card: what it reports, and nothing (not 0) for what it refused.
TEST(SampleHistory, ASampleReadsTheCardAndLeavesOutWhatItRefused) {
    TuningTestRig rig(ScenarioJson({PlainCard()}));
    const HistorySample read = ReadSample(*rig.table, 0, kStartMs);
    EXPECT_EQ(read.timeMs, kStartMs);
    EXPECT_EQ(read.graphicsClockMHz, 1733u);
    EXPECT_EQ(read.memoryClockMHz, 4006u);
    EXPECT_EQ(read.temperatureC, 52);
    EXPECT_EQ(read.fanPercent, 65);
    EXPECT_FALSE(read.fanRpm.has_value());
    EXPECT_EQ(read.loadPercent, 37);
    EXPECT_TRUE(read.thermalLimitC.has_value());
    EXPECT_TRUE(read.powerLimitPcm.has_value());
    EXPECT_TRUE(rig.Trace().empty()) << "a sample changes nothing";

    const std::pair<NvOp, std::optional<uint32_t> HistorySample::*> refusals[] = {
        {NvOp::GetAllClockFrequencies, &HistorySample::graphicsClockMHz},
        {NvOp::PowerPoliciesGetStatus, &HistorySample::powerLimitPcm},
    };
    for (const auto& [op, field] : refusals) {
        rig.sim->SetUnsupported(NvOpId(op));
        EXPECT_FALSE((ReadSample(*rig.table, 0, kStartMs).*field).has_value()) << NvOpId(op);
    }
    rig.sim->SetUnsupported(NvOpId(NvOp::GetThermalSettings));
    rig.sim->SetUnsupported(NvOpId(NvOp::ThermalPoliciesGetStatus));
    const HistorySample refused = ReadSample(*rig.table, 0, kStartMs);
    EXPECT_FALSE(refused.temperatureC.has_value()) << "a lost temperature is not a cold card";
    EXPECT_FALSE(refused.thermalLimitC.has_value());
    HistorySample nothing;
    nothing.timeMs = kStartMs;
    nothing.gpu = 5;
    EXPECT_EQ(ReadSample(*rig.table, 5, kStartMs), nothing) << "no such GPU: nothing read";
}

}  // namespace
}  // namespace pyx::test
