// Frame values and step lengths of every program-driven sequence, one full period each,
// stepped on the test's thread with a virtual clock.
#include <gtest/gtest.h>

#include "LedTestRig.h"
#include "led/BasicEffectThread.h"
#include "led/BreathingSyncThread.h"
#include "led/LedEffectEngine.h"
#include "led/LedStepTimer.h"

namespace pyx {
namespace {

using namespace std::chrono_literals;
using test::LedRig;

const char* kTwoClass1Cards = R"({"cards": [
  {"deviceId": "0x1B8110DE", "subSystemId": "0x1", "i2c": [{"address": "0x40", "model": "led-basic-1"}]},
  {"deviceId": "0x1B8110DE", "subSystemId": "0x1", "i2c": [{"address": "0x40", "model": "led-basic-1"}]}]})";

// Ends the sequence (by changing its mode field) when the given wait begins.
void EndAtWait(LedRig& rig, size_t wait, std::atomic<int32_t>& modeField) {
    auto count = std::make_shared<size_t>(0);
    rig.pacer.onWait = [count, wait, &modeField](std::chrono::milliseconds) {
        if (++*count == wait) modeField.store(99);
    };
}

LedColour Scaled120(LedColour c, int k) {
    return {ScaleComponent(c.r, k, 120), ScaleComponent(c.g, k, 120), ScaleComponent(c.b, k, 120)};
}

void ExpectAllWaits(LedRig& rig, std::chrono::milliseconds step) {
    for (const auto wait : rig.pacer.Waits()) ASSERT_EQ(wait, step);
}

struct BasicSetup {
    explicit BasicSetup(LedRig& rig, int32_t code, int32_t mode) : engine(*rig.table, rig.pacer) {
        engine.SetLedKind(0, LedKind::BasicClass1);
        engine.SetLedKind(1, LedKind::BasicClass1);
        engine.BasicArgs().code = code;
        engine.BasicArgs().mode = mode;
        engine.BasicArgs().SetColour(kColour);
    }
    static constexpr LedColour kColour{240, 120, 61};
    LedEffectEngine engine;
};

TEST(LedStepLength, IsThePeriodShareTruncatedToWholeMilliseconds) {
    EXPECT_EQ(StepLength(3000.0, 240), 12ms);  // 12.5
    EXPECT_EQ(StepLength(10000.0, 240), 41ms);  // 41.67
    EXPECT_EQ(StepLength(4000.0, 120), 33ms);
    EXPECT_EQ(StepLength(0.0, 240), 0ms);
    EXPECT_EQ(SyncStepLength(1, 3), 21ms);
    EXPECT_EQ(SyncStepLength(5, 4), 22ms);
    EXPECT_EQ(SyncStepLength(2, 6), 31ms);
    EXPECT_EQ(SyncStepLength(2, 7), 22ms);
    EXPECT_EQ(SyncStepLength(2, 3), std::nullopt);
    EXPECT_EQ(SyncStepLength(1, 6), std::nullopt);
}

TEST(BasicEffectSequence, BreathingRisesToTheFullColourAtK120AndFallsToBlack) {
    LedRig rig("led-basic-class1.json");
    BasicSetup setup(rig, kBasicCodeBreathing, 1);
    EndAtWait(rig, 242, setup.engine.BasicArgs().mode);
    setup.engine.RunOnThisThread(LedEffectFamily::Basic);

    const auto frames = test::Class1Frames(rig);
    ASSERT_EQ(frames.size(), 241u) << "one breath: k = 0..119 up, 120..0 down";
    for (int i = 0; i < 241; ++i) {
        const int k = i <= 119 ? i : 240 - i;
        ASSERT_EQ(frames[static_cast<size_t>(i)].colour, Scaled120(BasicSetup::kColour, k)) << "frame " << i;
        ASSERT_EQ(frames[static_cast<size_t>(i)].level, 0xFF);
    }
    EXPECT_EQ(frames[0].colour, kLedBlack);
    EXPECT_EQ(frames[120].colour, BasicSetup::kColour);
    EXPECT_EQ(frames.back().colour, kLedBlack);
    ExpectAllWaits(rig, 12ms);  // 3000 ms / 240
}

TEST(BasicEffectSequence, BreathingPicksUpANewPeriodAtItsNextStep) {
    LedRig rig("led-basic-class1.json");
    BasicSetup setup(rig, kBasicCodeBreathing, 1);
    auto& args = setup.engine.BasicArgs();
    auto count = std::make_shared<int>(0);
    rig.pacer.onWait = [count, &args](std::chrono::milliseconds) {
        if (++*count == 3) args.periodMs[0] = 10000.0;
        if (*count == 6) args.mode = 99;
    };
    setup.engine.RunOnThisThread(LedEffectFamily::Basic);
    const auto waits = rig.pacer.Waits();
    ASSERT_EQ(waits.size(), 6u);
    EXPECT_EQ(waits[1], 12ms);
    EXPECT_EQ(waits[3], 41ms);
}

TEST(BasicEffectSequence, CycleBreathingFadesEachPaletteColourInTurn) {
    LedRig rig("led-basic-class1.json");
    BasicSetup setup(rig, kBasicCodeCycleBreathing, 4);
    setup.engine.BasicArgs().periodMs[1] = 4000.0;
    EndAtWait(rig, 8 * 241 + 1, setup.engine.BasicArgs().mode);
    setup.engine.RunOnThisThread(LedEffectFamily::Basic);

    const auto frames = test::Class1Frames(rig);
    ASSERT_EQ(frames.size(), 8u * 241u);
    for (size_t c = 0; c < 8; ++c)
        for (int i = 0; i < 241; ++i) {
            const int k = i <= 119 ? i : 240 - i;
            ASSERT_EQ(frames[c * 241 + static_cast<size_t>(i)].colour, Scaled120(kLedPalette[c], k))
                << "colour " << c << " frame " << i;
        }
    ExpectAllWaits(rig, 16ms);  // 4000 / 240 = 16.67
}

TEST(BasicEffectSequence, FlashHoldsEachColourAndWritesBlackOncePerPass) {
    LedRig rig("led-basic-class1.json");
    BasicSetup setup(rig, kBasicCodeFlash, 3);
    EndAtWait(rig, 8 * 120 + 6, setup.engine.BasicArgs().mode);
    setup.engine.RunOnThisThread(LedEffectFamily::Basic);

    const auto frames = test::Class1Frames(rig);
    ASSERT_EQ(frames.size(), 1u + 960u + 1u + 5u);
    EXPECT_EQ(frames[0].colour, kLedBlack);
    for (size_t c = 0; c < 8; ++c)
        for (size_t i = 0; i < 120; ++i) ASSERT_EQ(frames[1 + c * 120 + i].colour, kLedPalette[c]);
    EXPECT_EQ(frames[961].colour, kLedBlack) << "the second pass starts with black";
    EXPECT_EQ(frames[962].colour, kLedPalette[0]);
    ExpectAllWaits(rig, 25ms);  // 3000 / 120
}

TEST(BasicEffectSequence, StaticRefreshesTheColourEvery200msUntilTheModeChanges) {
    LedRig rig("led-basic-class1.json");
    BasicSetup setup(rig, kBasicCodeStatic, 0);
    EndAtWait(rig, 3, setup.engine.BasicArgs().mode);
    setup.engine.RunOnThisThread(LedEffectFamily::Basic);
    const auto frames = test::Class1Frames(rig);
    ASSERT_EQ(frames.size(), 3u);
    for (const auto& f : frames) EXPECT_EQ(f.colour, BasicSetup::kColour);
    ExpectAllWaits(rig, 200ms);
}

TEST(BasicEffectSequence, LoadColourGoesToEachCardWithTheLoadReadJustBefore) {
    LedRig rig(kTwoClass1Cards);
    BasicSetup setup(rig, kBasicCodeLoad, 6);
    setup.engine.BasicArgs().syncCount = 2;
    setup.engine.SetGpuLoad(0);
    auto count = std::make_shared<int>(0);
    LedEffectEngine& engine = setup.engine;
    rig.pacer.onWait = [count, &engine](std::chrono::milliseconds) {
        if (++*count == 3) engine.SetGpuLoad(100);
        if (*count == 4) engine.BasicArgs().mode = 99;
    };
    engine.RunOnThisThread(LedEffectFamily::Basic);

    const auto lines = rig.TraceLines();
    std::vector<std::string> writes;
    for (const auto& line : lines)
        if (line.starts_with("I2CWrite")) writes.push_back(line);
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0], "I2CWrite gpu=0 port=2 addr=0x40 reg=0x01 data=010000000000fdfffff0 status=0")
        << "load 0 is shown as load 1";
    EXPECT_EQ(writes[1], "I2CWrite gpu=1 port=2 addr=0x40 reg=0x01 data=010000000000fdfffff0 status=0");
    EXPECT_EQ(writes[2], "I2CWrite gpu=0 port=2 addr=0x40 reg=0x01 data=01000000000000fffff0 status=0");
    EXPECT_EQ(writes[3], "I2CWrite gpu=1 port=2 addr=0x40 reg=0x01 data=01000000000000fffff0 status=0");
    ExpectAllWaits(rig, 500ms);
}

TEST(BasicEffectSequence, OneShotAndUnusedCodes) {
    LedRig rig(kTwoClass1Cards);
    BasicSetup off(rig, kBasicCodeOff, 8);
    off.engine.BasicArgs().gpu = 1;
    off.engine.RunOnThisThread(LedEffectFamily::Basic);
    auto frames = test::Class1Frames(rig);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].gpu, 1) << "with a sync count below 2 only the block's GPU";
    EXPECT_EQ(frames[0].colour, kLedBlack);

    for (const int32_t code : {2, 5, 7, 42}) {
        off.engine.BasicArgs().code = code;
        off.engine.RunOnThisThread(LedEffectFamily::Basic);
    }
    EXPECT_EQ(test::Class1Frames(rig).size(), 1u);
    EXPECT_TRUE(rig.pacer.Waits().empty());
}

// Zone frames on 0x58 of each card, in bus order, from the trace.
std::vector<std::pair<int, std::string>> Frames(LedRig& rig, const std::string& addr) {
    std::vector<std::pair<int, std::string>> frames;
    for (const auto& line : rig.TraceLines()) {
        if (!line.starts_with("I2CWrite") || line.find("addr=" + addr) == std::string::npos) continue;
        const int gpu = line[line.find("gpu=") + 4] - '0';
        const auto d = line.find("data=") + 5;
        frames.emplace_back(gpu, line.substr(d, line.find(' ', d) - d));
    }
    return frames;
}

std::string Hex(LedColour c, bool zoneFrame) {
    char text[16];
    std::snprintf(text, sizeof text, zoneFrame ? "%02x%02x%02x0020" : "%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

LedColour Scaled32(LedColour c, int k) {
    return {static_cast<uint8_t>((c.r * k) >> 5), static_cast<uint8_t>((c.g * k) >> 5),
            static_cast<uint8_t>((c.b * k) >> 5)};
}

int RampK(int i) { return i <= 31 ? i : 64 - i; }  // 0..31 up, 32..0 down: 65 steps

TEST(BreathingSyncSequence, ZoneCycleBreathingReachesEveryCardInTurnWithTheShiftBy5) {
    LedRig rig("led-two-cards.json");
    LedEffectEngine engine(*rig.table, rig.pacer);
    auto& sync = engine.SyncArgs();
    sync.kind = kSyncZone58;
    sync.mode = 3;
    sync.count = 2;
    sync.zoneMode = 3;
    EndAtWait(rig, 8 * 65 + 1, sync.zoneMode);
    engine.RunOnThisThread(LedEffectFamily::ZoneSync);

    const auto frames = Frames(rig, "0x58");
    ASSERT_EQ(frames.size(), 2u * 8u * 65u);
    for (size_t step = 0; step < 8 * 65; ++step) {
        const LedColour expected = Scaled32(kLedPalette[step / 65], RampK(static_cast<int>(step % 65)));
        ASSERT_EQ(frames[2 * step].first, 0);
        ASSERT_EQ(frames[2 * step + 1].first, 1);
        ASSERT_EQ(frames[2 * step].second, Hex(expected, true)) << "step " << step;
        ASSERT_EQ(frames[2 * step + 1].second, Hex(expected, true));
    }
    EXPECT_EQ(frames[2 * 32].second, Hex(kLedPalette[0], true)) << "k = 32 is the full colour";
    ExpectAllWaits(rig, 21ms);
}

TEST(BreathingSyncSequence, ZoneGroupSingleColourBreathWritesAllFourZones) {
    LedRig rig("led-two-cards.json");
    LedEffectEngine engine(*rig.table, rig.pacer);
    engine.BasicArgs().SetColour({200, 100, 50});
    auto& sync = engine.SyncArgs();
    sync.kind = kSyncZoneGroup;
    sync.mode = 4;
    sync.count = 2;
    sync.zoneMode = 4;
    EndAtWait(rig, 65 + 1, sync.zoneMode);
    engine.RunOnThisThread(LedEffectFamily::ZoneSync);

    for (const std::string addr : {"0x46", "0x48", "0x4a", "0x4c"}) {
        const auto frames = Frames(rig, addr);
        ASSERT_EQ(frames.size(), 2u * 65u) << addr;
        for (size_t step = 0; step < 65; ++step)
            ASSERT_EQ(frames[2 * step].second, Hex(Scaled32({200, 100, 50}, RampK(static_cast<int>(step))), true));
    }
    EXPECT_TRUE(Frames(rig, "0x58").empty());
    ExpectAllWaits(rig, 22ms);
}

TEST(BreathingSyncSequence, EffectBreathsUseTheEffectFrameOnEveryCard) {
    for (const int32_t mode : {6, 7}) {
        LedRig rig("led-two-cards.json");
        LedEffectEngine engine(*rig.table, rig.pacer);
        engine.BasicArgs().SetColour({200, 100, 50});
        auto& sync = engine.SyncArgs();
        sync.kind = kSyncEffect;
        sync.mode = mode;
        sync.count = 2;
        sync.effectMode = mode;
        EndAtWait(rig, 65 + 1, sync.effectMode);
        engine.RunOnThisThread(LedEffectFamily::EffectSync);

        const LedColour base = mode == 6 ? kLedPalette[0] : LedColour{200, 100, 50};
        for (const std::string addr : {"0xac", "0xb0", "0xb4", "0xb8"}) {
            const auto frames = Frames(rig, addr);
            ASSERT_EQ(frames.size(), 2u * 65u) << addr;
            EXPECT_EQ(frames[64].second, Hex(base, false)) << "k = 32";
            EXPECT_EQ(frames.back().second, "000000");
        }
        ExpectAllWaits(rig, mode == 6 ? 31ms : 22ms);
    }
}

TEST(BreathingSyncSequence, KindsAndModesWithoutASequenceReturnAtOnce) {
    LedRig rig("led-two-cards.json");
    LedEffectEngine engine(*rig.table, rig.pacer);
    auto& sync = engine.SyncArgs();
    sync.count = 2;
    for (const auto& [kind, mode] : {std::pair{1, 5}, {5, 6}, {2, 3}, {3, 3}}) {
        sync.kind = kind;
        sync.mode = mode;
        sync.zoneMode = mode;
        sync.effectMode = mode;
        engine.RunOnThisThread(kind == 2 ? LedEffectFamily::EffectSync : LedEffectFamily::ZoneSync);
    }
    EXPECT_TRUE(rig.TraceLines().empty());
}

}  // namespace
}  // namespace pyx
