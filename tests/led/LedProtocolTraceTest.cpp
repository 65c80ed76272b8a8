// The exact bus traffic of every lighting sequence, against approved traces.
#include <algorithm>

#include <gtest/gtest.h>

#include "LedTestRig.h"
#include "led/BasicClass1Controller.h"
#include "led/BasicClass2Controller.h"
#include "led/EffectController.h"
#include "led/LedBoardState.h"
#include "led/LedControllerFactory.h"
#include "led/LedEffectEngine.h"
#include "led/LedProbe.h"
#include "led/LedReset.h"
#include "led/LedThreadArgs.h"
#include "led/ZoneController.h"
#include "sim/SimLedController.h"

namespace pyx {
namespace {

using test::LedRig;

constexpr LedColour kColour{0x10, 0x20, 0x30};

LedWriteResult ZoneMode(LedRig& rig, uint8_t zone, uint32_t mode) {
    return ZoneController(*rig.table, 0, {zone}).ApplyMode(mode, kColour, rig.pacer);
}
LedWriteResult EffectMode(LedRig& rig, uint8_t zone, uint32_t mode) {
    return EffectController(*rig.table, 0, {zone}).ApplyMode(mode, kColour, rig.pacer);
}

TEST(LedTrace, EveryZoneModeSendsItsSequenceAndCommit) {
    LedRig rig("led-zone.json");
    for (const uint32_t mode : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 255u}) {
        rig.Mark("GM1MODE " + std::to_string(mode));
        EXPECT_TRUE(ZoneMode(rig, 0x58, mode).Clean());
    }
    test::ExpectGolden(rig.TraceLines(), "zone-modes.txt");
}

TEST(LedTrace, EveryEffectModeSendsItsParametersCodeAndCommit) {
    LedRig rig("led-effect.json");
    for (const uint32_t mode : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 40u, 90u, 12u, 39u, 41u, 89u, 91u}) {
        rig.Mark("GM2MODE " + std::to_string(mode));
        EXPECT_TRUE(EffectMode(rig, 0xAC, mode).Clean());
    }
    test::ExpectGolden(rig.TraceLines(), "effect-modes.txt");
}

TEST(LedTrace, AFailureCutsTheSequenceShortButTheCommitIsStillSent) {
    LedRig rig("led-two-cards.json");
    auto* zone58 = rig.Device<sim::SimLedController>(0, 0x58);
    auto* zone46 = rig.Device<sim::SimLedController>(0, 0x46);
    auto* effectAC = rig.Device<sim::SimLedController>(0, 0xAC);
    auto* effectB0 = rig.Device<sim::SimLedController>(0, 0xB0);
    ASSERT_TRUE(zone58 && zone46 && effectAC && effectB0);

    rig.Mark("zone 0x58 GM1MODE 1, register 0x05 refused");
    zone58->SetNakRegister(0x05);
    using Refused = std::vector<LedRefusedWrite>;
    auto refused = [](const LedWriteResult& result) { return result.refused; };
    EXPECT_EQ(refused(ZoneMode(rig, 0x58, 1)), (Refused{{0, 0x58, 0x05, kNvFailed}}));
    zone58->SetNakRegister(0x05, false);

    rig.Mark("zone 0x58 GM1MODE 5, register 0x03 refused");
    zone58->SetNakRegister(0x03);
    // The colour burst covers the refused register too; the dark mode goes on after 0x03.
    EXPECT_EQ(refused(ZoneMode(rig, 0x58, 5)),
              (Refused{{0, 0x58, 0x02, kNvFailed}, {0, 0x58, 0x03, kNvFailed}}));
    zone58->SetNakRegister(0x03, false);

    rig.Mark("zone 0x46 GM1MODE 2, controller stops answering after the first pause");
    rig.pacer.onWait = [&](std::chrono::milliseconds) { zone46->answering = false; };
    EXPECT_EQ(refused(ZoneMode(rig, 0x46, 2)),
              (Refused{{0, 0x46, 0x05, kNvFailed}, {0, 0x46, 0x08, kNvFailed}}));
    rig.pacer.onWait = nullptr;

    rig.Mark("effect 0xAC GM2MODE 3, register 0x22 refused");
    effectAC->SetNakRegister(0x22);
    EXPECT_EQ(refused(EffectMode(rig, 0xAC, 3)), (Refused{{0, 0xAC, 0x22, kNvFailed}}));
    effectAC->SetNakRegister(0x22, false);

    rig.Mark("effect 0xAC GM2MODE 2, colour refused");
    effectAC->SetNakRegister(0x03);
    EXPECT_EQ(refused(EffectMode(rig, 0xAC, 2)), (Refused{{0, 0xAC, 0x02, kNvFailed}}));
    effectAC->SetNakRegister(0x03, false);

    rig.Mark("effect 0xB0 GM2MODE 0, controller not answering");
    effectB0->answering = false;
    const LedWriteResult silent = EffectMode(rig, 0xB0, 0);
    EXPECT_EQ(silent.refused,
              (Refused{{0, 0xB0, 0x02, kNvFailed}, {0, 0xB0, 0x50, kNvFailed}, {0, 0xB0, 0x40, kNvFailed}}));
    EXPECT_EQ(silent.FirstStatus(), kNvFailed);

    test::ExpectGolden(rig.TraceLines(), "mode-failures.txt");

    // The refused zone still took the commit, with the colour it had been sent.
    const sim::SimLedShown shown = zone58->Shown();
    EXPECT_EQ(shown.effectCode, 0x01);
    EXPECT_EQ(effectAC->Shown().effectCode, 0x11) << "the rainbow was committed after the refused colour";
}

TEST(LedTrace, ProbesAskInTheirOrderAndFillTheBoardState) {
    {
        LedRig rig(R"({"cards": [{"deviceId": "0x1B8110DE", "subSystemId": "0x1", "i2c": []}]})");
        rig.Mark("no controller: first-success probe");
        EXPECT_EQ(ProbeLedKind(*rig.table, 0), LedKind::None);
        rig.Mark("no controller: start-up probe");
        LedBoardState state;
        state.present.fill(true);
        ProbeLedControllers(*rig.table, 0, state);
        EXPECT_EQ(state.ledKind, LedKind::None);
        for (const LedTarget target : {LedTarget::Basic, LedTarget::Zone58, LedTarget::EffectAC, LedTarget::EffectGroup,
                                       LedTarget::Zone46, LedTarget::ZoneGroup})
            EXPECT_FALSE(state.TargetAvailable(target));
        auto lines = rig.TraceLines();

        LedRig zones("led-zone.json");
        zones.Mark("zone controllers: start-up probe");
        LedBoardState zoneState;
        ProbeLedControllers(*zones.table, 0, zoneState);
        EXPECT_EQ(zoneState.ledKind, LedKind::None) << "the start-up probe keeps only the basic class";
        EXPECT_TRUE(zoneState.TargetAvailable(LedTarget::Zone58));
        EXPECT_TRUE(zoneState.TargetAvailable(LedTarget::Zone46));
        EXPECT_TRUE(zoneState.TargetAvailable(LedTarget::ZoneGroup));
        EXPECT_FALSE(zoneState.TargetAvailable(LedTarget::EffectAC));
        EXPECT_FALSE(zoneState.TargetAvailable(LedTarget::Basic));
        EXPECT_EQ(ProbeLedKind(*zones.table, 0), LedKind::Zone46) << "0x46 is asked before 0x58";
        auto zoneLines = zones.TraceLines();
        zoneLines.resize(zoneLines.size() - 3);  // the last first-success probe is checked by its result
        lines.insert(lines.end(), zoneLines.begin(), zoneLines.end());

        LedRig class1("led-basic-class1.json");
        class1.Mark("class-1 basic controller: first-success probe");
        EXPECT_EQ(ProbeLedKind(*class1.table, 0), LedKind::BasicClass1);
        auto class1Lines = class1.TraceLines();
        lines.insert(lines.end(), class1Lines.begin(), class1Lines.end());

        LedRig class2("led-basic-class2.json");
        class2.Mark("class-2 basic controller: start-up probe");
        LedBoardState class2State;
        ProbeLedControllers(*class2.table, 0, class2State);
        EXPECT_EQ(class2State.ledKind, LedKind::BasicClass2);
        EXPECT_TRUE(class2State.TargetAvailable(LedTarget::Basic));
        auto class2Lines = class2.TraceLines();
        lines.insert(lines.end(), class2Lines.begin(), class2Lines.end());

        test::ExpectGolden(lines, "probes.txt");
    }
}

TEST(LedTrace, BasicControllerWritesEachClassItsWay) {
    LedRig class1("led-basic-class1.json");
    class1.Mark("class 1: initialisation");
    BasicClass1Controller basic1(*class1.table, 0);
    EXPECT_TRUE(basic1.Initialise().Clean());
    class1.Mark("class 1: colour");
    EXPECT_TRUE(basic1.WriteFrame({kColour, false}).Clean());
    class1.Mark("class 1: colour while the session ends");
    EXPECT_TRUE(basic1.WriteFrame({kColour, true}).Clean());
    auto lines = class1.TraceLines();

    LedRig class2("led-basic-class2.json");
    class2.Mark("class 2: colour");
    EXPECT_TRUE(BasicClass2Controller(*class2.table, 0).WriteFrame({kColour}).Clean());
    // A GPU whose own kind names another controller gets no basic frame, even where the saved
    // controller kind is a basic one.
    class2.Mark("kind 3: nothing");
    LedEffectEngine engine(*class2.table, class2.pacer);
    engine.SetLedControllerKind(LedKind::BasicClass2);
    engine.SetLedKind(0, LedKind::Zone58);
    engine.WriteBasicFrame(0, kColour);
    EXPECT_EQ(engine.FrameTally(0).frames, 0u);
    engine.SetLedKind(0, LedKind::None);
    EXPECT_EQ(engine.BasicClassFor(0), LedKind::BasicClass2) << "a GPU without a kind of its own takes the saved one";
    auto lines2 = class2.TraceLines();
    lines.insert(lines.end(), lines2.begin(), lines2.end());
    test::ExpectGolden(lines, "basic-colour.txt");
}

TEST(LedTrace, ResetsAndFrames) {
    LedRig rig("led-two-cards.json");
    // The controllers as the window's Reset and the effects in step make them.
    rig.Mark("effect 0xAC reset");
    EXPECT_TRUE(EffectController(*rig.table, 0, {0xAC}).Reset(rig.pacer, nullptr).refused.Clean());
    rig.Mark("effect 0xB0 reset");
    EXPECT_TRUE(EffectController(*rig.table, 0, {0xB0}).Reset(rig.pacer, nullptr).refused.Clean());
    rig.Mark("zone resets");
    EXPECT_TRUE(MakeFoundController(*rig.table, 0, LedKind::Zone46)->Reset(rig.pacer, nullptr).refused.Clean());
    rig.Mark("zone frame to 0x58");
    EXPECT_TRUE(MakeSyncController(*rig.table, 0, kSyncZone58)->WriteFrame({kColour}).Clean());
    rig.Mark("zone frame to 0x46..0x4C");
    EXPECT_TRUE(MakeSyncController(*rig.table, 0, kSyncZoneGroup)->WriteFrame({kColour}).Clean());
    rig.Mark("effect frame");
    EXPECT_TRUE(MakeSyncController(*rig.table, 0, kSyncEffect)->WriteFrame({kColour}).Clean());
    test::ExpectGolden(rig.TraceLines(), "resets-and-frames.txt");
}

// The Reset button's half, as the window sends it, for each kind the probe can find; the
// window is told the default mode was taken only when the write that selects it was.
TEST(LedTrace, TheResetOfEachKindAndWhenItsDefaultModeIsTaken) {
    LedRig rig("led-two-cards.json");
    LedBoardState found;
    ProbeLedControllersReadOnly(*rig.table, 0, found);
    ASSERT_TRUE(found.present[kPresentEffectAC] && found.present[kPresentZone58]);
    rig.ClearTrace();
    int shown = 0;
    auto show = [&] { ++shown; };
    for (const LedKind kind : {LedKind::EffectAC, LedKind::Zone46, LedKind::Zone58, LedKind::BasicClass1,
                               LedKind::BasicClass2, LedKind::None}) {
        rig.Mark("reset of kind " + std::to_string(LedKindNumber(kind)));
        const int before = shown;
        const LedResetResult reset = ResetLedController(*rig.table, 0, kind, found, rig.pacer, show);
        EXPECT_TRUE(reset.refused.Clean()) << LedKindNumber(kind);
        const bool resettable = kind == LedKind::EffectAC || kind == LedKind::Zone46 || kind == LedKind::Zone58;
        EXPECT_EQ(reset.defaultModeTaken, resettable) << LedKindNumber(kind);
        EXPECT_EQ(shown - before, resettable ? 1 : 0) << LedKindNumber(kind);
    }

    rig.Mark("effect reset, 0xAC refuses its code");
    auto* effectAC = rig.Device<sim::SimLedController>(0, 0xAC);
    ASSERT_NE(effectAC, nullptr);
    effectAC->SetNakRegister(0x30);
    LedResetResult reset = ResetLedController(*rig.table, 0, LedKind::EffectAC, found, rig.pacer, show);
    EXPECT_FALSE(reset.defaultModeTaken);
    EXPECT_EQ(reset.refused.refused, (std::vector<LedRefusedWrite>{{0, 0xAC, 0x30, kNvFailed}}));
    effectAC->SetNakRegister(0x30, false);

    rig.Mark("zone reset, 0x58 not answering: the others still get theirs");
    auto* zone58 = rig.Device<sim::SimLedController>(0, 0x58);
    ASSERT_NE(zone58, nullptr);
    zone58->answering = false;
    const int before = shown;
    reset = ResetLedController(*rig.table, 0, LedKind::Zone58, found, rig.pacer, show);
    EXPECT_FALSE(reset.defaultModeTaken);
    EXPECT_EQ(shown, before);
    EXPECT_EQ(reset.refused.refused, (std::vector<LedRefusedWrite>{{0, 0x58, 0x02, kNvFailed}}));

    rig.Mark("zone reset where the probe found no 0x46: its silence is not a refusal");
    zone58->answering = true;
    LedBoardState only58 = found;
    only58.present[kPresentZone46] = false;
    rig.Device<sim::SimLedController>(0, 0x46)->answering = false;
    reset = ResetLedController(*rig.table, 0, LedKind::Zone58, only58, rig.pacer, show);
    EXPECT_TRUE(reset.defaultModeTaken);
    EXPECT_TRUE(reset.refused.Clean()) << DescribeRefusedWrites(reset.refused);
    test::ExpectGolden(rig.TraceLines(), "controller-resets.txt");
}

// The names a listing shows follow the probe's findings: the basic controller by its class's
// address, the others by theirs, in the order of the presence flags.
TEST(LedProbe, TheControllersFoundAreNamedByTheirAddresses) {
    LedBoardState found;
    EXPECT_TRUE(FoundControllerNames(found).empty());
    found.ledKind = LedKind::BasicClass2;
    found.present[kPresentBasic] = true;
    found.present[kPresentZone4C] = true;
    found.present[kPresentEffectAC] = true;
    EXPECT_EQ(FoundControllerNames(found), (std::vector<std::string>{"basic 0x8A", "0xAC", "0x4C"}));
    found.ledKind = LedKind::BasicClass1;
    EXPECT_EQ(FoundControllerNames(found).front(), "basic 0x40");
    EXPECT_TRUE(ControllerFound(found, 0x4C));
    EXPECT_FALSE(ControllerFound(found, 0x58));
    EXPECT_FALSE(ControllerFound(found, 0x40)) << "the basic controller is found by its class, not an address";
    // Another process's listing gives the same findings back (the window of a service).
    for (const LedKind basic : {LedKind::None, LedKind::BasicClass1, LedKind::BasicClass2}) {
        found.ledKind = basic;
        found.present[kPresentBasic] = basic != LedKind::None;
        const LedBoardState named = LedBoardFromNames(FoundControllerNames(found));
        EXPECT_EQ(named.ledKind, found.ledKind);
        EXPECT_EQ(named.present, found.present);
    }
}

// What each kind of card's probes find: the first-success kind, the start-up probe's presence
// flags (so the target buttons), and the listing's reads-only probe agreeing with both. The
// built-in card, which a new user sees first, carries both the zone and the effect controller:
// every target but the basic one is lit, and the effect controller names the kind because the
// first-success probe asks 0xAC first.
TEST(LedProbe, EachScenarioFindsItsControllersAndTheKindAskedFirst) {
    using T = LedTarget;
    struct Case {
        std::string scenario;  // a shipped file, or JSON text
        LedKind firstKind;
        std::vector<LedTarget> targets;
    };
    const Case cases[] = {
        {sim::SimScenario::DefaultJson(), LedKind::EffectAC,
         {T::Zone58, T::EffectAC, T::EffectGroup, T::Zone46, T::ZoneGroup}},
        {"led-two-cards.json", LedKind::EffectAC, {T::Zone58, T::EffectAC, T::EffectGroup, T::Zone46, T::ZoneGroup}},
        {"led-zone.json", LedKind::Zone46, {T::Zone58, T::Zone46, T::ZoneGroup}},
        {"led-effect.json", LedKind::EffectAC, {T::EffectAC, T::EffectGroup}},
        {"led-basic-class1.json", LedKind::BasicClass1, {T::Basic}},
        {"led-basic-class2.json", LedKind::BasicClass2, {T::Basic}},
        {"minimal.json", LedKind::None, {}},
    };
    for (const Case& c : cases) {
        const std::string name = c.scenario.starts_with("{") ? "built-in" : c.scenario;
        LedRig rig(c.scenario);
        EXPECT_EQ(ProbeLedKind(*rig.table, 0), c.firstKind) << name;
        LedBoardState startUp;
        ProbeLedControllers(*rig.table, 0, startUp);
        LedBoardState readOnly;
        ProbeLedControllersReadOnly(*rig.table, 0, readOnly);
        EXPECT_EQ(FirstSuccessKind(startUp), c.firstKind) << name;
        EXPECT_EQ(readOnly.present, startUp.present) << name;
        for (const T target : {T::Basic, T::Zone58, T::EffectAC, T::EffectGroup, T::Zone46, T::ZoneGroup}) {
            const bool expected = std::find(c.targets.begin(), c.targets.end(), target) != c.targets.end();
            EXPECT_EQ(startUp.TargetAvailable(target), expected)
                << name << ": target " << static_cast<uint32_t>(target);
        }
    }
}

}  // namespace
}  // namespace pyx
