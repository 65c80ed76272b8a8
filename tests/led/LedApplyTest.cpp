// Capture and apply of the LED page: per-target rules with one card and with several.
#include <thread>

#include <gtest/gtest.h>

#include "LedTestRig.h"
#include "led/LedApply.h"
#include "led/LedControllerFactory.h"
#include "led/LedProbe.h"
#include "led/SteadyLedPacer.h"
#include "sim/SimLedBasicClass1.h"
#include "sim/SimLedEffectController.h"
#include "sim/SimLedZoneController.h"

namespace pyx {
namespace {

using namespace std::chrono_literals;
using test::LedRig;

// What the controller the probe found shows now, as the window reads it at start-up.
std::optional<uint32_t> ReadBackLedMode(GpuBoardTable& table, int gpu, LedKind kind) {
    const std::unique_ptr<LedController> found = MakeFoundController(table, gpu, kind);
    return found ? found->ReadMode() : std::nullopt;
}
std::optional<LedColour> ReadBackLedColour(GpuBoardTable& table, int gpu, LedKind kind) {
    const std::unique_ptr<LedController> found = MakeFoundController(table, gpu, kind);
    return found ? found->ReadColour() : std::nullopt;
}

bool WaitFor(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + 3s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

size_t WritesTo(LedRig& rig, size_t card, uint8_t address, uint8_t reg) {
    size_t n = 0;
    for (const auto& r : rig.Card(card).bus.Log())
        if (r.devAddress == address && r.reg == reg && r.acknowledged) ++n;
    return n;
}

LedPageState Page(int gpus, LedTarget target) {
    LedPageState page;
    page.colourPreset = 0;
    page.sliders = {10, 20, 30};
    for (int i = 0; i < gpus; ++i) page.boards[static_cast<size_t>(i)].ledTarget = target;
    return page;
}

TEST(LedCapture, ReadsPresetsSlidersAndTimersIntoTheSavedValues) {
    LedRig rig("led-zone.json");
    LedEffectEngine engine(*rig.table, rig.pacer);
    LedSettings settings;
    int gpuMode = 0;
    LedPageState page;
    page.colourPreset = 3;
    page.sliders = {1, 2, 3};
    page.timerIndex = {7, -1, 0};
    page.ledMode = 2;
    page.tuningMode = 2;
    engine.BasicArgs().periodMs[1] = 5000.0;
    CaptureLedSettings(page, engine, settings, gpuMode);
    EXPECT_EQ(engine.BasicArgs().Colour(), (LedColour{255, 49, 0}));
    EXPECT_EQ(engine.BasicArgs().periodMs[0].load(), 10000.0);
    EXPECT_EQ(engine.BasicArgs().periodMs[1].load(), 5000.0) << "a box without a selection keeps its period";
    EXPECT_EQ(engine.BasicArgs().periodMs[2].load(), 3000.0);
    EXPECT_EQ(settings.red, 255);
    EXPECT_EQ(settings.green, 49);
    EXPECT_EQ(settings.blue, 0);
    EXPECT_EQ(settings.timer1, 7);
    EXPECT_EQ(settings.timer2, 0xFF) << "stored as read";
    EXPECT_EQ(settings.ledMode, 2);
    EXPECT_EQ(gpuMode, 2);

    page.colourPreset = 0;
    CaptureLedSettings(page, engine, settings, gpuMode);
    EXPECT_EQ(engine.BasicArgs().Colour(), (LedColour{1, 2, 3}));
    page.colourPreset = 12;  // no such preset: the colour stays
    page.sliders = {9, 9, 9};
    CaptureLedSettings(page, engine, settings, gpuMode);
    EXPECT_EQ(engine.BasicArgs().Colour(), (LedColour{1, 2, 3}));
}

TEST(LedApply, OneCardSendsBreathingAsAHardwareModeAndSavesNothing) {
    LedRig rig("led-two-cards.json");
    // Only the first card is handled: a machine with one GPU.
    rig.table->gpuCount = 1;
    LedEffectEngine engine(*rig.table, rig.pacer);
    LedSettings settings;
    LedPageState page = Page(1, LedTarget::Zone58);
    page.gm1Mode = 3;
    int saves = 0;
    LedApplyOptions options;
    options.saveLedSettings = [&] { ++saves; };
    ApplyLedSettings(page, engine, settings, options);

    EXPECT_FALSE(engine.Running(LedEffectFamily::ZoneSync));
    EXPECT_EQ(engine.LiveThreadCount(), 0u);
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(settings.gm1Mode, 3);
    const auto shown = rig.Device<sim::SimLedZoneController>(0, 0x58)->Shown();
    EXPECT_EQ(shown.effectCode, 0x40);
    EXPECT_EQ(shown.parameter, 0x84);
    EXPECT_EQ(shown.r, 10);
    EXPECT_EQ(ReadBackLedMode(*rig.table, 0, LedKind::Zone58), 3u);

    page.gm2Mode = 7;
    page.boards[0].ledTarget = LedTarget::EffectGroup;
    ApplyLedSettings(page, engine, settings, options);
    EXPECT_FALSE(engine.Running(LedEffectFamily::EffectSync));
    for (const uint8_t address : {0xB0, 0xB4, 0xB8})
        EXPECT_EQ(rig.Device<sim::SimLedEffectController>(0, address)->Shown().effectCode, 0x02);
    EXPECT_EQ(rig.Device<sim::SimLedEffectController>(0, 0xAC)->Commits(), 0u);
    EXPECT_EQ(settings.gm2Mode, 7);
}

TEST(LedApply, SeveralCardsBreatheInStepFromOneThreadAndSaveAfterEachCard) {
    LedRig rig("led-two-cards.json");
    SteadyLedPacer pacer(10.0);
    LedEffectEngine engine(*rig.table, pacer);
    LedSettings settings;
    LedPageState page = Page(2, LedTarget::Zone58);
    page.gm1Mode = 4;
    int saves = 0;
    LedApplyOptions options;
    options.saveLedSettings = [&] { ++saves; };
    ApplyLedSettings(page, engine, settings, options);

    EXPECT_TRUE(engine.Running(LedEffectFamily::ZoneSync));
    EXPECT_EQ(saves, 2);
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 1; }));
    ASSERT_TRUE(WaitFor([&] { return WritesTo(rig, 0, 0x58, 0x02) > 3 && WritesTo(rig, 1, 0x58, 0x02) > 3; }));
    EXPECT_EQ(rig.Device<sim::SimLedZoneController>(0, 0x58)->Commits(), 0u) << "no mode sequence";

    // Static: the sync thread is stopped, then each card gets its mode.
    page.gm1Mode = 1;
    ApplyLedSettings(page, engine, settings, options);
    EXPECT_FALSE(engine.Running(LedEffectFamily::ZoneSync));
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 0; }));
    for (size_t card = 0; card < 2; ++card) {
        auto* zone = rig.Device<sim::SimLedZoneController>(card, 0x58);
        EXPECT_EQ(zone->Commits(), 1u);
        EXPECT_EQ(zone->Shown().effectCode, 0x20);
        EXPECT_EQ(zone->Shown().r, 10);
    }
    EXPECT_EQ(saves, 4);
}

TEST(LedApply, EffectSyncHoldsAStaticCodeAndAnotherModeEndsIt) {
    LedRig rig("led-two-cards.json");
    SteadyLedPacer pacer(10.0);
    LedEffectEngine engine(*rig.table, pacer);
    LedSettings settings;
    LedPageState page = Page(2, LedTarget::EffectAC);
    page.gm2Mode = 6;
    ApplyLedSettings(page, engine, settings, {});
    EXPECT_TRUE(engine.Running(LedEffectFamily::EffectSync));
    for (size_t card = 0; card < 2; ++card) {
        EXPECT_EQ(WritesTo(rig, card, 0xAC, 0x30), 1u);
        EXPECT_EQ(rig.Device<sim::SimLedEffectController>(card, 0xAC)->Commits(), 0u);
    }
    ASSERT_TRUE(WaitFor([&] { return WritesTo(rig, 1, 0xB8, 0x02) > 2; }));

    // Rainbow on the hardware: the breathing frames must not keep overwriting its colour.
    page.gm2Mode = 2;
    ApplyLedSettings(page, engine, settings, {});
    ASSERT_TRUE(WaitFor([&] { return engine.LiveThreadCount() == 0; }));
    const size_t frames = WritesTo(rig, 0, 0xB8, 0x02);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(WritesTo(rig, 0, 0xB8, 0x02), frames);
    EXPECT_EQ(rig.Device<sim::SimLedEffectController>(0, 0xAC)->Shown().effectCode, 0x11);
    EXPECT_EQ(settings.gm2Mode, 2);
}

TEST(LedApply, ReportsWhatEachCardRefusedAndDrivesOneGpuAloneWhenAsked) {
    LedRig rig("led-two-cards.json");
    LedEffectEngine engine(*rig.table, rig.pacer);
    LedSettings settings;
    LedPageState page = Page(2, LedTarget::Zone58);
    page.gm1Mode = 1;
    auto* zone1 = rig.Device<sim::SimLedZoneController>(1, 0x58);
    zone1->SetNakRegister(0x05);
    const LedWriteResult both = ApplyLedSettings(page, engine, settings, {});
    EXPECT_EQ(both.refused, (std::vector<LedRefusedWrite>{{1, 0x58, 0x05, kNvFailed}}));
    zone1->SetNakRegister(0x05, false);

    // The second card alone: its breathing runs in its controller; the first is not touched.
    rig.Card(0).bus.ClearLog();
    page.gm1Mode = 4;
    int saves = 0;
    LedApplyOptions options;
    options.saveLedSettings = [&] { ++saves; };
    options.onlyGpu = 1;
    EXPECT_TRUE(ApplyLedSettings(page, engine, settings, options).Clean());
    EXPECT_FALSE(engine.Running(LedEffectFamily::ZoneSync));
    EXPECT_TRUE(rig.Card(0).bus.Log().empty());
    EXPECT_EQ(zone1->Shown().effectCode, 0x04);
    EXPECT_EQ(saves, 1) << "the machine has two GPUs: \"Led.txt\" is kept for the service";
}

TEST(LedApply, GroupTargetsDriveTheirZonesInOrderAndRestoreTakesTheSliders) {
    LedRig rig("led-two-cards.json");
    rig.table->gpuCount = 1;
    LedEffectEngine engine(*rig.table, rig.pacer);
    LedSettings settings;
    LedPageState page = Page(1, LedTarget::ZoneGroup);
    page.colourPreset = 2;  // red, but the restore takes the sliders
    page.gm1Mode = 1;
    LedApplyOptions options;
    options.restoringLed = true;
    ApplyLedSettings(page, engine, settings, options);
    std::vector<std::string> commits;
    for (const auto& line : rig.TraceLines())
        if (line.find("reg=0x08 data=5a") != std::string::npos) commits.push_back(line.substr(0, line.find(" reg")));
    EXPECT_EQ(commits, (std::vector<std::string>{"I2CWrite gpu=0 port=2 addr=0x48", "I2CWrite gpu=0 port=2 addr=0x4a",
                                                 "I2CWrite gpu=0 port=2 addr=0x4c"}));
    EXPECT_EQ(rig.Device<sim::SimLedZoneController>(0, 0x4C)->Shown().r, 10);
    EXPECT_EQ(rig.Device<sim::SimLedZoneController>(0, 0x46)->Commits(), 0u);

    options.restoringLed = false;
    page.boards[0].ledTarget = LedTarget::Zone46;
    ApplyLedSettings(page, engine, settings, options);
    EXPECT_EQ(rig.Device<sim::SimLedZoneController>(0, 0x46)->Shown().r, 255) << "the preset colour";
}

TEST(LedApply, BasicTargetStartsTheEffectOnlyFromTheApplyButtonAndOnlyForBasicKinds) {
    LedRig rig("led-basic-class1.json");
    SteadyLedPacer pacer(10.0);
    LedEffectEngine engine(*rig.table, pacer);
    LedSettings settings;
    settings.ledMode = 0;
    LedPageState page = Page(1, LedTarget::Basic);

    page.boards[0].ledKind = LedKind::Zone58;
    ApplyLedSettings(page, engine, settings, {});
    EXPECT_TRUE(rig.TraceLines().empty()) << "kind 3 on target 0: nothing";

    page.boards[0].ledKind = LedKind::BasicClass1;
    LedApplyOptions restore;
    restore.applyButton = false;
    ApplyLedSettings(page, engine, settings, restore);
    EXPECT_TRUE(rig.TraceLines().empty()) << "the restore never starts the basic effect";

    ApplyLedSettings(page, engine, settings, {});
    auto* controller = rig.Device<sim::SimLedBasicClass1>(0, 0x40);
    EXPECT_EQ(controller->InitCommands(), 3u);
    EXPECT_TRUE(engine.Running(LedEffectFamily::Basic));
    ASSERT_TRUE(WaitFor([&] { return controller->Shown().updates > 0; }));
    EXPECT_EQ(controller->Shown().r, 255);
    engine.Shutdown();
}

TEST(LedApply, ModesWithoutAnEffectStartNothingAndUnknownTimersKeepThePeriod) {
    LedRig rig("led-basic-class1.json");
    LedEffectEngine engine(*rig.table, rig.pacer);
    LedSettings settings;
    settings.timer1 = 0xFF;  // saved from a box without a selection
    settings.timer2 = 5;
    for (const uint8_t mode : {5, 7, 9}) {
        settings.ledMode = mode;
        StartBasicEffect(Page(1, LedTarget::Basic), engine, settings, LedKind::BasicClass1);
    }
    EXPECT_FALSE(engine.Running(LedEffectFamily::Basic));
    EXPECT_EQ(engine.LiveThreadCount(), 0u);
    EXPECT_EQ(rig.Device<sim::SimLedBasicClass1>(0, 0x40)->InitCommands(), 9u) << "initialised all the same";
    EXPECT_EQ(engine.BasicArgs().periodMs[0].load(), 3000.0);
    EXPECT_EQ(engine.BasicArgs().periodMs[1].load(), 8000.0);
    EXPECT_EQ(engine.BasicClassFor(0), LedKind::BasicClass1) << "kind 0 falls back to the saved kind";
}

// The built-in card carries a fan chip and both lighting controllers on one bus: each target
// lights exactly its own zones, nothing reaches the fan chip's addresses, and the start-up
// read-back of the kind the probe names (the effect controller's) shows what was sent.
TEST(LedApply, TheBuiltInCardLightsEachZoneAndEffectTargetAlone) {
    LedRig rig(sim::SimScenario::DefaultJson());
    LedEffectEngine engine(*rig.table, rig.pacer);
    LedSettings settings;
    struct Case {
        LedTarget target;
        std::vector<uint8_t> zones;
        bool effect;
    };
    const Case cases[] = {
        {LedTarget::Zone58, {0x58}, false},           {LedTarget::Zone46, {0x46}, false},
        {LedTarget::ZoneGroup, {0x48, 0x4A, 0x4C}, false}, {LedTarget::EffectAC, {0xAC}, true},
        {LedTarget::EffectGroup, {0xB0, 0xB4, 0xB8}, true},
    };
    rig.Card(0).bus.ClearLog();
    for (const Case& c : cases) {
        LedPageState page = Page(1, c.target);
        page.gm1Mode = 1;  // static
        page.gm2Mode = 1;  // static
        const LedWriteResult result = ApplyLedSettings(page, engine, settings, {});
        EXPECT_TRUE(result.Clean()) << DescribeRefusedWrites(result);
        for (const uint8_t zone : c.zones) {
            const auto* controller = rig.Device<sim::SimLedController>(0, zone);
            ASSERT_NE(controller, nullptr) << "the built-in card has no controller at " << int(zone);
            const sim::SimLedShown shown = controller->Shown();
            EXPECT_EQ((LedColour{shown.r, shown.g, shown.b}), (LedColour{10, 20, 30})) << int(zone);
            EXPECT_EQ(shown.effectCode, c.effect ? 0x01 : 0x20) << int(zone);
        }
    }
    for (const uint8_t zone : {0x58, 0x46, 0x48, 0x4A, 0x4C})
        EXPECT_EQ(rig.Device<sim::SimLedZoneController>(0, zone)->Commits(), 1u) << int(zone);
    for (const uint8_t zone : {0xAC, 0xB0, 0xB4, 0xB8})
        EXPECT_EQ(rig.Device<sim::SimLedEffectController>(0, zone)->Commits(), 1u) << int(zone);
    for (const auto& record : rig.Card(0).bus.Log())
        EXPECT_TRUE(record.devAddress != 0x5C && record.devAddress != 0x60) << "lighting reached a fan chip address";

    const LedKind kind = ProbeLedKind(*rig.table, 0);
    EXPECT_EQ(kind, LedKind::EffectAC);
    EXPECT_EQ(ReadBackLedMode(*rig.table, 0, kind), 1u) << "the effect controller's static mode";
}

TEST(LedReadBack, ShowsTheModeTheHardwareIsIn) {
    auto zone = [](const char* r5, const char* r6) {
        return std::string(R"({"cards": [{"deviceId": "0x1B8110DE", "subSystemId": "0x1", "i2c": [
            {"address": "0x58", "model": "led-zone", "registers": {"0x02": 7, "0x03": 8, "0x04": 9, "0x05": )") +
               r5 + R"(, "0x06": )" + r6 + "}}]}]}";
    };
    const std::pair<std::string, std::optional<uint32_t>> zoneCases[] = {
        {zone("132", "2"), 2}, {zone("132", "64"), 3}, {zone("8", "5"), std::nullopt}, {zone("4", "4"), 4},
        {zone("1", "0"), 5},   {zone("0", "32"), 1},   {zone("0", "1"), 1},          {zone("3", "0"), std::nullopt}};
    for (const auto& [json, expected] : zoneCases) {
        LedRig rig(json);
        EXPECT_EQ(ReadBackLedMode(*rig.table, 0, LedKind::Zone58), expected) << json;
        EXPECT_EQ(ReadBackLedColour(*rig.table, 0, LedKind::Zone58), (LedColour{7, 8, 9}));
        EXPECT_EQ(ReadBackLedMode(*rig.table, 0, LedKind::EffectAC), std::nullopt) << "no effect controller";
        EXPECT_EQ(ReadBackLedMode(*rig.table, 0, LedKind::BasicClass1), std::nullopt);
        EXPECT_EQ(ReadBackLedMode(*rig.table, 0, LedKind::None), std::nullopt);
        // A zone controller found by its zone 1 is not read back, though 0x58 would answer.
        EXPECT_EQ(ReadBackLedMode(*rig.table, 0, LedKind::Zone46), std::nullopt);
        EXPECT_EQ(ReadBackLedColour(*rig.table, 0, LedKind::Zone46), std::nullopt);
    }
    const std::pair<int, std::optional<uint32_t>> effectCases[] = {
        {0x01, 1}, {0x11, 2}, {0x18, 3}, {0x14, 4}, {0x16, 5}, {0x17, 6}, {0x02, 7}, {0x03, 8},
        {0x12, 9}, {0x00, 9}, {0x13, 10}, {0x19, 11}, {0x04, std::nullopt}, {0x15, std::nullopt}};
    for (const auto& [code, expected] : effectCases) {
        LedRig rig(R"({"cards": [{"deviceId": "0x1B8110DE", "subSystemId": "0x1", "i2c": [
            {"address": "0xAC", "model": "led-effect", "registers": {"0x30": )" + std::to_string(code) + "}}]}]}");
        EXPECT_EQ(ReadBackLedMode(*rig.table, 0, LedKind::EffectAC), expected) << code;
    }
}

TEST(LedSimModels, SitOnlyAtTheirAddresses) {
    std::string error;
    auto library = sim::SimScenario::FromText(
        R"({"cards": [{"deviceId": "0x1B8110DE", "subSystemId": "0x1", "i2c": [{"address": "0x5A", "model": "led-zone"}]}]})",
        "zone-at-0x5a.json", error);
    EXPECT_EQ(library, nullptr);
    EXPECT_NE(error.find("zone-at-0x5a.json"), std::string::npos) << error;
    EXPECT_NE(error.find("0x58, 0x46, 0x48, 0x4A, 0x4C"), std::string::npos) << error;
    for (const char* file : {"led-basic-class1.json", "led-basic-class2.json", "led-zone.json", "led-effect.json",
                             "led-two-cards.json"}) {
        auto loaded = sim::SimScenario::FromFile(test::ScenarioPath(file), error);
        EXPECT_NE(loaded, nullptr) << error;
    }
}

}  // namespace
}  // namespace pyx
