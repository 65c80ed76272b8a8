// Effect threads on real (sped-up) time: start, stop-and-restart, mode changes, session end
// and the clean end of every thread.
#include <thread>

#include <gtest/gtest.h>

#include "LedTestRig.h"
#include "led/BasicEffectThread.h"
#include "led/LedApply.h"
#include "led/LedEffectEngine.h"
#include "led/SteadyLedPacer.h"
#include "sim/SimLedBasicClass1.h"

namespace pyx {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::LedRig;

// Records the pauses taken on the thread that built it (the UI thread's restart pauses).
class PausePacer : public SteadyLedPacer {
public:
    explicit PausePacer(double speed) : SteadyLedPacer(speed), owner_(std::this_thread::get_id()) {}
    void SleepUntil(Clock::time_point deadline) override {
        if (std::this_thread::get_id() == owner_) {
            std::lock_guard lock(mutex_);
            pauses_.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Now()));
        }
        SteadyLedPacer::SleepUntil(deadline);
    }
    std::vector<std::chrono::milliseconds> Pauses() {
        std::lock_guard lock(mutex_);
        return pauses_;
    }

private:
    std::thread::id owner_;
    std::mutex mutex_;
    std::vector<std::chrono::milliseconds> pauses_;
};

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 3000ms) {
    const auto end = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Rounded: the recorded pause is measured against a moving clock.
// The pause is measured by a second look at the pacer's clock, which runs faster than real
// time: a loaded machine that stops the thread between the two looks shortens it. Half the
// pause still tells 100 ms from 1100 ms and from none.
bool NearMs(std::chrono::milliseconds actual, int expected) {
    return actual.count() >= expected / 2 && actual.count() <= expected;
}

const char* kTwoClass1Cards = R"({"cards": [
  {"deviceId": "0x1B8110DE", "subSystemId": "0x1", "i2c": [{"address": "0x40", "model": "led-basic-1"}]},
  {"deviceId": "0x1B8110DE", "subSystemId": "0x1", "i2c": [{"address": "0x40", "model": "led-basic-1"}]}]})";

LedPageState BasicPage(int gpus, uint32_t ledMode) {
    LedPageState page;
    page.ledMode = ledMode;
    for (int i = 0; i < gpus; ++i) {
        page.boards[static_cast<size_t>(i)].ledKind = LedKind::BasicClass1;
        page.boards[static_cast<size_t>(i)].ledTarget = LedTarget::Basic;
    }
    return page;
}

TEST(LedEffectEngine, RestartPausesAreThoseOfTheModeAndTheOldSequenceEnds) {
    LedRig rig("led-basic-class1.json");
    PausePacer pacer(20.0);
    LedEffectEngine engine(*rig.table, pacer);
    LedSettings settings;

    settings.ledMode = 1;  // breathing: nothing running yet, so no pause
    StartBasicEffect(BasicPage(1, 1), engine, settings, LedKind::None);
    EXPECT_TRUE(engine.Running(LedEffectFamily::Basic));
    EXPECT_TRUE(pacer.Pauses().empty());
    ASSERT_TRUE(WaitFor([&] { return !test::Class1Frames(rig).empty(); }));

    settings.ledMode = 3;  // flash: stop, 1100 ms, start
    StartBasicEffect(BasicPage(1, 3), engine, settings, LedKind::None);
    ASSERT_EQ(pacer.Pauses().size(), 1u);
    EXPECT_TRUE(NearMs(pacer.Pauses()[0], 1100)) << pacer.Pauses()[0].count();
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 1; })) << "the breathing thread ended";

    settings.ledMode = 0;  // static: stop, 100 ms, start
    StartBasicEffect(BasicPage(1, 0), engine, settings, LedKind::None);
    ASSERT_EQ(pacer.Pauses().size(), 2u);
    EXPECT_TRUE(NearMs(pacer.Pauses()[1], 100));
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 1; }));

    settings.ledMode = 6;  // GPU load: started beside the old one, no pause
    StartBasicEffect(BasicPage(1, 6), engine, settings, LedKind::None);
    StartBasicEffect(BasicPage(1, 6), engine, settings, LedKind::None);
    EXPECT_EQ(pacer.Pauses().size(), 2u);
    // The static thread ends at its next check (mode 6 now); the second load start ends the
    // first one's thread for the same GPU.
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 1; }));

    engine.Shutdown();
    EXPECT_EQ(engine.LiveThreadCount(), 0u);
    EXPECT_FALSE(engine.Running(LedEffectFamily::Basic));
}

TEST(LedEffectEngine, RepeatedLoadAppliesKeepOneLoadThreadPerGpu) {
    LedRig rig(kTwoClass1Cards);
    SteadyLedPacer pacer(20.0);  // 500 ms steps take 25 ms
    LedEffectEngine engine(*rig.table, pacer);
    LedSettings settings;
    settings.ledMode = 6;
    for (int apply = 0; apply < 4; ++apply) (void)ApplyLedSettings(BasicPage(2, 6), engine, settings, {});
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 2; }));
    std::this_thread::sleep_for(100ms);  // four steps: a piled-up thread would still be there
    EXPECT_EQ(engine.LiveThreadCount(), 2u);
    // The two left still light both cards.
    rig.Card(0).bus.ClearLog();
    rig.Card(1).bus.ClearLog();
    ASSERT_TRUE(WaitFor([&] { return !rig.Card(0).bus.Log().empty() && !rig.Card(1).bus.Log().empty(); }));
    engine.Shutdown();
}

TEST(LedEffectEngine, TheFlashStopperWritesBlackOnceBeforeTheNewSequence) {
    LedRig rig("led-basic-class1.json");
    PausePacer pacer(20.0);
    LedEffectEngine engine(*rig.table, pacer);
    LedSettings settings;
    settings.ledMode = 0;
    settings.red = 9;
    StartBasicEffect(BasicPage(1, 0), engine, settings, LedKind::None);
    ASSERT_TRUE(WaitFor([&] { return !test::Class1Frames(rig).empty(); }));
    engine.BasicArgs().mode = 3;  // as the flash apply sets it, the static thread ends
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 0; }));
    rig.Card(0).bus.ClearLog();

    settings.ledMode = 3;
    StartBasicEffect(BasicPage(1, 3), engine, settings, LedKind::None);  // the flag is still set: restart
    ASSERT_TRUE(WaitFor([&] { return test::Class1Frames(rig).size() >= 3; }));
    engine.Shutdown();
    const auto frames = test::Class1Frames(rig);
    EXPECT_EQ(frames[0].colour, kLedBlack) << "the stopper";
    EXPECT_EQ(frames[1].colour, kLedBlack) << "the new pass";
    EXPECT_EQ(frames[2].colour, kLedPalette[0]);
}

TEST(LedEffectEngine, ChangingTheModeEndsTheSequenceWithinOneStep) {
    LedRig rig("led-basic-class1.json");
    SteadyLedPacer pacer;  // real time
    LedEffectEngine engine(*rig.table, pacer);
    engine.SetLedKind(0, LedKind::BasicClass1);
    auto& args = engine.BasicArgs();
    args.periodMs[0] = 10000.0;  // 41 ms steps
    args.code = kBasicCodeBreathing;
    args.mode = 1;
    engine.StartEffect(LedEffectFamily::Basic, 100ms);
    ASSERT_TRUE(WaitFor([&] { return test::Class1Frames(rig).size() >= 2; }));
    const auto changed = Clock::now();
    args.mode = 4;
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 0; }));
    EXPECT_LT(Clock::now() - changed, 41ms + 30ms);
}

TEST(LedEffectEngine, ShutdownEndsEveryThreadWithoutWaitingOutTheirSteps) {
    LedRig rig("led-two-cards.json");
    SteadyLedPacer pacer;
    LedEffectEngine engine(*rig.table, pacer);
    engine.BasicArgs().code = kBasicCodeLoad;  // 500 ms steps
    engine.BasicArgs().mode = 6;
    engine.StartEffect(LedEffectFamily::Basic, std::nullopt);
    engine.StartBreathingSync(kSyncZone58, 3, 2);
    engine.StartBreathingSync(kSyncEffect, 7, 2);
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 3; }));
    ASSERT_TRUE(WaitFor([&] { return rig.Card(1).bus.Log().size() > 10; }));

    const auto start = Clock::now();
    engine.Shutdown();
    EXPECT_LT(Clock::now() - start, 200ms);
    EXPECT_EQ(engine.LiveThreadCount(), 0u);
    engine.StartEffect(LedEffectFamily::Basic, std::nullopt);
    EXPECT_EQ(engine.LiveThreadCount(), 0u) << "nothing starts after the end";
}

TEST(LedEffectEngine, SyncRestartLeavesOneThreadPerFamily) {
    LedRig rig("led-two-cards.json");
    PausePacer pacer(10.0);
    LedEffectEngine engine(*rig.table, pacer);
    engine.StartBreathingSync(kSyncZone58, 3, 2);
    engine.StartBreathingSync(kSyncZoneGroup, 4, 2);
    engine.StartBreathingSync(kSyncEffect, 6, 2);
    EXPECT_EQ(pacer.Pauses().size(), 1u) << "only the second zone start found its family running";
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 2; }));
    EXPECT_TRUE(engine.Running(LedEffectFamily::ZoneSync));
    EXPECT_TRUE(engine.Running(LedEffectFamily::EffectSync));
    // The zone thread now breathes the zone group, not 0x58.
    rig.Card(0).bus.ClearLog();
    ASSERT_TRUE(WaitFor([&] {
        for (const auto& r : rig.Card(0).bus.Log())
            if (r.devAddress == 0x4C) return true;
        return false;
    }));
    engine.StopEffect(LedEffectFamily::ZoneSync);
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 1; }));
    rig.Card(0).bus.ClearLog();
    std::this_thread::sleep_for(20ms);
    for (const auto& r : rig.Card(0).bus.Log()) EXPECT_NE(r.devAddress, 0x4C) << "zone frames after the stop";
}

TEST(LedEffectEngine, SessionEndTurnsEveryCardBlackAtLevelZero) {
    LedRig rig(kTwoClass1Cards);
    SteadyLedPacer pacer(10.0);
    LedEffectEngine engine(*rig.table, pacer);
    LedSettings settings;
    settings.ledMode = 1;
    // A breathing effect started with a single-GPU block, as after a start with one card.
    engine.SetLedKind(0, LedKind::BasicClass1);
    engine.SetLedKind(1, LedKind::BasicClass1);
    engine.BasicArgs().code = kBasicCodeBreathing;
    engine.BasicArgs().mode = 1;
    engine.StartEffect(LedEffectFamily::Basic, 100ms);

    engine.SessionEnd();
    EXPECT_TRUE(engine.SessionEnding());
    auto* card0 = rig.Device<sim::SimLedBasicClass1>(0, 0x40);
    auto* card1 = rig.Device<sim::SimLedBasicClass1>(1, 0x40);
    ASSERT_TRUE(WaitFor([&] {
        const auto a = card0->Shown();
        const auto b = card1->Shown();
        return a.level == 0 && b.level == 0;
    }));
    EXPECT_EQ(card0->Shown().r + card0->Shown().g + card0->Shown().b, 0);
    EXPECT_EQ(card1->Shown().r + card1->Shown().g + card1->Shown().b, 0);
    engine.Shutdown();
}

}  // namespace
}  // namespace pyx
