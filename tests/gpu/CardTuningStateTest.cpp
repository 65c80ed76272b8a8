// A card's whole tuning, captured before a change and written back after it: the card is then exactly as it was,
// on every fan path and with every VF point at its own offset; a refusal is named, and what went unread is left alone.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "gpu/BoardIdentification.h"
#include "gpu/CardTuningState.h"
#include "gpu/FanControl.h"
#include "gpu/NvApiIds.h"
#include "sim/SimStateFileCard.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"

namespace pyx::test {
namespace {

using nlohmann::json;
using Op = TuningOperation;

// P-state offsets, power and acoustic limit (on a fraction of a degree) where no change puts them; extra adds fans.
std::string Card(const std::string& extra, const std::string& i2c = "[]", const char* deviceId = "0x1B8110DE") {
    return TuningCard(R"({"graphicsDelta": {"deltaKHz": 120000}, "memoryDelta": {"deltaKHz": 350500},
        "power": {"maxPcm": 116500, "currentPcm": 112500}, "thermal": {"policies": [
          {"id": 0, "minC": 60, "defaultC": 80, "maxC": 90, "acoustic": false},
          {"id": 1, "minC": 65, "defaultC": 83.5, "maxC": 92, "currentC": 84.75}]})" + extra + "}", i2c, deviceId);
}
// Fan coolers fixed, and a VF curve whose points sit at offsets of their own.
const std::string kVfCard = Card(R"(, "coolers": [], "fanCoolers": [{"id": 1, "level": 70}, {"id": 2, "level": 70}],
    "clockDomains": [
      {"type": "prog", "domain": "graphics", "offsetMaxKHz": 1000000, "offsetMinKHz": -1000000, "firstVf": 0, "lastVf": 79},
      {"type": "prog", "domain": "memory", "offsetMaxKHz": 1000000, "offsetMinKHz": -1000000, "firstVf": 80, "lastVf": 81}],
    "vfPoints": [{"first": 0, "last": 39, "offsetKHz": 10000}, {"first": 40, "last": 78, "offsetKHz": -5000},
      {"first": 79, "last": 79, "type": "fixed"}, {"first": 80, "last": 81, "offsetKHz": 300000}])", "[]", "0x268410DE");

// The board identified, with the fan path, limits and fan chips (tachometer, duty) discovery would have found.
struct Discovery { FanPath path; int32_t fanMin = 10, fanMax = 100; uint8_t slot0 = 0, slot1 = 0; };
void AsDiscovered(SimWorld& world, const Discovery& d) {
    ASSERT_EQ(IdentifyBoard(*world.table, 0), kNvOk);
    GpuBoard& board = world.Board();
    board.fan.Select(d.path);
    board.fanRangeMin = static_cast<uint32_t>(d.fanMin);
    board.fanRangeMax = static_cast<uint32_t>(d.fanMax);
    board.i2cSlots[0].devAddress = d.slot0;
    board.i2cSlots[1].devAddress = d.slot1;
}

// Everything a mode or a profile can move, somewhere else.
void ChangeEverything(SimWorld& world) {
    const CardTuning card(*world.table, 0);
    const FanRequest fixed = FanRequest::Fixed(card.FanLevelUnit() == FanUnit::Rpm ? 4000 : 80);
    (void)card.Write({.memoryOffsetKHz = -100000, .graphicsOffsetKHz = 55000, .powerPcm = 60000, .thermalLimitC = 70.0f,
                      .fan = card.Fan() == FanPath::FanCoolers ? std::nullopt : std::optional(fixed),
                      .graphicsVfOffsetKHz = 25000, .memoryVfOffsetKHz = -30000});
    if (card.HasFanCoolers()) (void)card.Write({.fan = FanRequest::CoolerLevel(85)});
}

// The card's state, fans read first (the duty chip shows the last read); an auto cooler's last level shows on no card.
json Held(SimWorld& world) {
    (void)CardTuning(*world.table, 0).ReadFans();
    sim::SimCardState state = sim::SimCardState::Capture(world.Card());
    for (sim::SimFanCooler& cooler : state.tuning.fanCoolers)
        if (!cooler.manual) cooler.manualLevel = 0;
    return state.ToJson();
}

TEST(CardTuningState, ARestoreAfterAChangeLeavesEveryKindOfCardAsCaptured) {
    const struct { const char* what; std::string card; Discovery found; int32_t fixedFan; } cases[] = {
        {"library fan fixed", Card(R"(, "coolers": [{"level": 65, "manual": true}])"), {FanPath::LibraryCooler}, -1},
        {"library fan on its curve", Card(R"(, "coolers": [{"defaultLevel": 30}])"), {FanPath::LibraryCooler}, -1},
        {"VF card, fan coolers fixed", kVfCard, {FanPath::FanCoolers, 0, 100}, -1},
        {"library fan beside fan coolers running apart", Card(R"(, "coolers": [{"defaultLevel": 30}], "fanCoolers":
           [{"id": 1, "autoLevel": 35, "level": 60}, {"id": 2, "autoLevel": 35}])"), {FanPath::LibraryCooler}, -1},
        {"tachometer chip fixed", Card("", R"([{"address": "0x5A", "model": "fan-chip-slot0", "sensorC": 44}])"),
         {FanPath::TachometerChip, 2805, 5500, 0x5A}, 3000},
        {"duty chip, library fan fixed", Card(R"(, "coolers": [{"defaultLevel": 30}])", R"([{"address": "0x5C",
           "model": "fan-chip-slot1"}])"), {FanPath::PacedLibraryCooler, 10, 100, 0, 0x5C}, 55},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimWorld world(c.card);
        AsDiscovered(world, c.found);
        ASSERT_TRUE(c.fixedFan < 0 || SetFanLevel(*world.table, 0, c.fixedFan) == kNvOk);
        const json before = Held(world);
        const CardTuningState captured = CaptureTuning(*world.table, 0);
        ChangeEverything(world);
        ASSERT_NE(Held(world).at("tuning"), before.at("tuning")) << "the change moved nothing";
        const CardWrites restored = RestoreTuning(*world.table, 0, captured);
        for (const CardWrite& write : restored.All()) EXPECT_EQ(write.status, kNvOk) << static_cast<int>(write.operation);
        EXPECT_EQ(json::diff(before, Held(world)), json::array());
    }
}

// Unread at the capture, ops are not sent; refused at the restore, they are named. The rest goes back either way.
TEST(CardTuningState, WhatTheCaptureCouldNotReadIsNotWrittenAndARefusalIsNamed) {
    const struct { const char* what; NvOp op; bool atCapture; std::vector<Op> ops; } cases[] = {
        {"thermal policies unread", NvOp::ThermalPoliciesGetStatus, true, {Op::ThermalLimit}},
        {"power status unread", NvOp::PowerPoliciesGetStatus, true, {Op::PowerTarget}},
        {"VF curve unread", NvOp::ClkVfPointsGetControl, true, {Op::GraphicsVfOffset, Op::MemoryVfOffset}},
        {"P-states unread", NvOp::GetPstates20, true, {Op::GraphicsClockOffset, Op::MemoryClockOffset}},
        // Nobody can say whether the coolers ran fixed: they are left as the change put them.
        {"fan-cooler control unread", NvOp::FanCoolersGetControl, true, {Op::FanCoolerLevel}},
        {"power refused", NvOp::PowerPoliciesSetStatus, false, {Op::PowerTarget}},
        {"VF points refused", NvOp::ClkVfPointsSetControl, false, {Op::GraphicsVfOffset, Op::MemoryVfOffset}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimWorld world(kVfCard);
        AsDiscovered(world, {FanPath::FanCoolers, 0, 100});
        world.sim->SetUnsupported(NvOpId(c.op), c.atCapture);
        const CardTuningState captured = CaptureTuning(*world.table, 0);
        world.sim->SetUnsupported(NvOpId(c.op), false);
        ChangeEverything(world);
        world.sim->SetUnsupported(NvOpId(c.op), !c.atCapture);
        const CardWrites restored = RestoreTuning(*world.table, 0, captured);
        for (const CardWrite& write : restored.All())
            EXPECT_EQ(write.status, !c.atCapture && std::ranges::count(c.ops, write.operation) ? kNvNotSupported : kNvOk)
                << static_cast<int>(write.operation);
        for (const Op op : c.ops) EXPECT_EQ(restored.StatusOf(op).has_value(), !c.atCapture) << static_cast<int>(op);
        EXPECT_GT(restored.All().size(), c.ops.size()) << "the rest went back too";
    }
}

}  // namespace
}  // namespace pyx::test
