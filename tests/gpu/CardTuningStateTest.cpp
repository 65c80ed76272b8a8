// A card's whole tuning, captured before a change and written back after it: the card is then
// exactly as it was, on every fan path and with every VF point at its own offset; whatever the
// card refuses on the way back is named, and what the capture could not read is left alone.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "gpu/CardTuning.h"
#include "gpu/CardTuningState.h"
#include "gpu/FanControl.h"
#include "gpu/NvApiIds.h"
#include "sim/SimStateFileCard.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"

namespace pyx::test {
namespace {

// A scenario of one card.
std::string Card(const std::string& tuning, const std::string& i2c = "[]", const std::string& deviceId = "0x1B8110DE") {
    return TuningCard(tuning, i2c, deviceId);
}

// P-state offsets off zero, power above its default, the acoustic limit on a fraction of a
// degree: none of it where a change would put it.
constexpr char kPstates[] = R"("graphicsDelta": {"deltaKHz": 120000}, "memoryDelta": {"deltaKHz": 350500},
    "power": {"maxPcm": 116500, "currentPcm": 112500},
    "thermal": {"policies": [{"id": 0, "minC": 60, "defaultC": 80, "maxC": 90, "acoustic": false},
                             {"id": 1, "minC": 65, "defaultC": 83.5, "maxC": 92, "currentC": 84.75}]})";

struct Discovery {
    FanPath path;
    int32_t fanMin = 10;
    int32_t fanMax = 100;
    uint8_t slot0 = 0;  // the tachometer chip's address
    uint8_t slot1 = 0;  // the duty chip's address
};

void AsDiscovered(SimWorld& world, const Discovery& d) {
    GpuBoard& board = world.Board();
    board.hasBoostClock = 1;
    board.fan.Select(d.path);
    board.hasFanCoolersApi = world.Card().tuning.fanCoolers.empty() ? 0 : 1;
    if (d.path == FanPath::FanCoolers) board.family = BoardFamily::D;
    board.fanRangeMin = static_cast<uint32_t>(d.fanMin);
    board.fanRangeMax = static_cast<uint32_t>(d.fanMax);
    board.i2cSlots[0].devAddress = d.slot0;
    board.i2cSlots[1].devAddress = d.slot1;
}

// Everything a mode or a profile can move, somewhere else.
void ChangeEverything(SimWorld& world) {
    const CardTuning card(*world.table, 0);
    const std::optional<FanRequest> ownFan =
        card.Fan() == FanPath::FanCoolers ? std::nullopt
        : card.FanLevelUnit() == FanUnit::Rpm ? std::optional(FanRequest::Fixed(4000))
                                              : std::optional(FanRequest::Fixed(80));
    (void)card.Write({.memoryOffsetKHz = -100000, .graphicsOffsetKHz = 55000, .powerPcm = 60000,
                      .thermalLimitC = 70.0f, .fan = ownFan, .graphicsVfOffsetKHz = 25000,
                      .memoryVfOffsetKHz = -30000});
    if (card.HasFanCoolers()) (void)card.Write({.fan = FanRequest::CoolerLevel(85)});
}

// The card's state as it can be told apart. The duty chip's reading register holds what was
// last read, so the fans are read first; an automatic fan cooler's last fixed level is kept by
// the simulator but shown by no card, so it is left out.
nlohmann::json Held(SimWorld& world) {
    (void)CardTuning(*world.table, 0).ReadFans();
    sim::SimCardState state = sim::SimCardState::Capture(world.Card());
    for (sim::SimFanCooler& cooler : state.tuning.fanCoolers)
        if (!cooler.manual) cooler.manualLevel = 0;
    return state.ToJson();
}

// Every difference outside the excused part fails; an excused part must differ, so an excuse
// cannot outlive a mend.
void ExpectSameBut(const nlohmann::json& before, const nlohmann::json& after, const char* excused) {
    bool excuseMet = false;
    for (const nlohmann::json& d : nlohmann::json::diff(before, after)) {
        const std::string path = d.at("path");
        if (excused != nullptr && path.starts_with(excused)) {
            excuseMet = true;
            continue;
        }
        ADD_FAILURE() << path << ": before " << before.value(nlohmann::json::json_pointer(path), nlohmann::json()).dump()
                      << ", after " << d.dump();
    }
    if (excused != nullptr) {
        EXPECT_TRUE(excuseMet) << "excused but matched: " << excused;
    }
}

std::vector<TuningOperation> RefusedIn(const CardWrites& writes) {
    std::vector<TuningOperation> refused;
    for (const CardWrite& w : writes.All())
        if (w.status != kNvOk) refused.push_back(w.operation);
    return refused;
}

TEST(CardTuningState, ARestoreAfterAChangeLeavesTheCardAsCapturedOrNamesWhatItRefused) {
    struct Case {
        const char* what;
        std::string scenario;
        Discovery discovery;
        std::function<void(SimWorld&)> arrange;  // before the capture
        std::optional<NvOp> refuse;              // refused from the change on
        std::vector<TuningOperation> refused;    // what the restore names
        const char* excused = nullptr;           // the part of the card left changed
    };
    const std::string pstates = kPstates;
    const Case cases[] = {
        {"P-state card, library fan fixed by hand",
         Card("{" + pstates + R"(, "coolers": [{"level": 65, "manual": true}]})"), {FanPath::LibraryCooler}, {}, {}, {}},
        {"P-state card, library fan on the card's curve",
         Card("{" + pstates + R"(, "coolers": [{"defaultLevel": 30}]})"), {FanPath::LibraryCooler}, {}, {}, {}},
        {"VF-point card, fan coolers fixed, points at offsets of their own",
         Card("{" + pstates + R"(, "coolers": [], "fanCoolers": [{"id": 1, "level": 70}, {"id": 2, "level": 70}],
              "clockDomains": [
                {"type": "prog", "domain": "graphics", "offsetMaxKHz": 1000000, "offsetMinKHz": -1000000, "firstVf": 0, "lastVf": 79},
                {"type": "prog", "domain": "memory", "offsetMaxKHz": 1000000, "offsetMinKHz": -1000000, "firstVf": 80, "lastVf": 81}],
              "vfPoints": [{"first": 0, "last": 39, "offsetKHz": 10000}, {"first": 40, "last": 78, "offsetKHz": -5000},
                           {"first": 79, "last": 79, "type": "fixed"}, {"first": 80, "last": 81, "offsetKHz": 300000}]})",
              "[]", "0x268410DE"),
         {FanPath::FanCoolers, 0, 100}, {}, {}, {}},
        {"library fan beside fan coolers that run apart",
         Card("{" + pstates + R"(, "coolers": [{"defaultLevel": 30}],
              "fanCoolers": [{"id": 1, "autoLevel": 35, "level": 60}, {"id": 2, "autoLevel": 35}]})"),
         {FanPath::LibraryCooler}, {}, {}, {}},
        {"tachometer chip fixed by hand", Card("{" + pstates + "}", R"([{"address": "0x5A", "model": "fan-chip-slot0", "sensorC": 44}])"),
         {FanPath::TachometerChip, 2805, 5500, 0x5A},
         [](SimWorld& w) { ASSERT_EQ(SetFanLevel(*w.table, 0, 3000), kNvOk); }, {}, {}},
        {"tachometer chip on its own curve", Card("{" + pstates + "}", R"([{"address": "0x5A", "model": "fan-chip-slot0", "sensorC": 44}])"),
         {FanPath::TachometerChip, 2805, 5500, 0x5A}, {}, {}, {},
         // Handed back, the chip runs the program's own curve (registers 0xA0-0xA8), and its
         // target count keeps the fixed speed's: no typed read holds the chip's own curve.
         "/bus/0/"},
        {"duty chip beside a library fan fixed by hand",
         Card("{" + pstates + R"(, "coolers": [{"defaultLevel": 30}]})", R"([{"address": "0x5C", "model": "fan-chip-slot1"}])"),
         {FanPath::PacedLibraryCooler, 10, 100, 0, 0x5C},
         [](SimWorld& w) { ASSERT_EQ(SetFanLevel(*w.table, 0, 55), kNvOk); }, {}, {}},
        {"power refused on the way back", Card("{" + pstates + R"(, "coolers": [{"level": 65, "manual": true}]})"),
         {FanPath::LibraryCooler}, {}, NvOp::PowerPoliciesSetStatus, {TuningOperation::PowerTarget}, "/tuning/power/"},
        {"VF points refused on the way back", Card("{" + pstates + R"(, "coolers": [],
              "fanCoolers": [{"id": 1, "level": 70}],
              "clockDomains": [{"type": "prog", "domain": "graphics", "offsetMaxKHz": 1000000, "offsetMinKHz": -1000000, "firstVf": 0, "lastVf": 3}],
              "vfPoints": [{"first": 0, "last": 3, "offsetKHz": 10000}]})", "[]", "0x268410DE"),
         {FanPath::FanCoolers, 0, 100}, {}, NvOp::ClkVfPointsSetControl, {TuningOperation::GraphicsVfOffset}, "/tuning/vfPoints/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimWorld world(c.scenario);
        AsDiscovered(world, c.discovery);
        if (c.arrange) c.arrange(world);
        const nlohmann::json before = Held(world);
        const CardTuningState captured = CaptureTuning(*world.table, 0);

        ChangeEverything(world);
        ASSERT_NE(Held(world).at("tuning"), before.at("tuning")) << "the change moved nothing";
        if (c.refuse) world.sim->SetUnsupported(NvOpId(*c.refuse));
        const CardWrites restored = RestoreTuning(*world.table, 0, captured);

        EXPECT_EQ(RefusedIn(restored), c.refused);
        for (const TuningOperation op : c.refused) EXPECT_EQ(restored.StatusOf(op), kNvNotSupported);
        ExpectSameBut(before, Held(world), c.excused);
    }
}

TEST(CardTuningState, WhatTheCaptureCouldNotReadIsNotWrittenBack) {
    struct Case {
        const char* what;
        NvOp unreadable;                        // at the capture only
        std::function<bool(const CardTuningState&)> missing;
        std::vector<TuningOperation> unsent;    // none of these in the restore
    };
    const Case cases[] = {
        {"thermal policies", NvOp::ThermalPoliciesGetStatus,
         [](const CardTuningState& s) { return !s.thermalLimitC; }, {TuningOperation::ThermalLimit}},
        {"power status", NvOp::PowerPoliciesGetStatus, [](const CardTuningState& s) { return !s.powerPcm; },
         {TuningOperation::PowerTarget}},
        {"VF curve", NvOp::ClkVfPointsGetControl, [](const CardTuningState& s) { return !s.vfPoints; },
         {TuningOperation::GraphicsVfOffset, TuningOperation::MemoryVfOffset}},
        {"P-states", NvOp::GetPstates20, [](const CardTuningState& s) { return !s.offsets; },
         {TuningOperation::GraphicsClockOffset, TuningOperation::MemoryClockOffset}},
        // Nobody can say whether the coolers ran fixed: they are left as the change put them.
        {"fan-cooler control", NvOp::FanCoolersGetControl,
         [](const CardTuningState& s) { return s.fans.size() == 2 && s.fans[0].mode == FanControlMode::Unknown; },
         {TuningOperation::FanCoolerLevel}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimWorld world(Card(std::string("{") + kPstates + R"(, "coolers": [],
              "fanCoolers": [{"id": 1, "level": 70}, {"id": 2, "level": 70}],
              "clockDomains": [{"type": "prog", "domain": "graphics", "offsetMaxKHz": 1000000, "offsetMinKHz": -1000000, "firstVf": 0, "lastVf": 3},
                               {"type": "prog", "domain": "memory", "offsetMaxKHz": 1000000, "offsetMinKHz": -1000000, "firstVf": 4, "lastVf": 5}],
              "vfPoints": [{"first": 0, "last": 5, "offsetKHz": 10000}]})", "[]", "0x268410DE"));
        AsDiscovered(world, {FanPath::FanCoolers, 0, 100});
        world.sim->SetUnsupported(NvOpId(c.unreadable));
        const CardTuningState captured = CaptureTuning(*world.table, 0);
        world.sim->SetUnsupported(NvOpId(c.unreadable), false);
        EXPECT_TRUE(c.missing(captured));

        ChangeEverything(world);
        const CardWrites restored = RestoreTuning(*world.table, 0, captured);
        EXPECT_TRUE(RefusedIn(restored).empty());
        for (const TuningOperation op : c.unsent) EXPECT_FALSE(restored.StatusOf(op).has_value()) << static_cast<int>(op);
        // The rest still went back.
        EXPECT_FALSE(restored.Empty());
    }
}

}  // namespace
}  // namespace pyx::test
