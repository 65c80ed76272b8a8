// After a put-back the cards are read again: what a card holds other than what it was sent is
// named, and nothing else is.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/TuningReadBack.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"

namespace pyx::test {
namespace {

TEST(TuningReadBack, NamesEachQuantityTheCardHoldsOtherwiseThanSent) {
    // The card as each write left it; a row then changes what the card holds.
    const auto asSent = [](sim::SimTuningState& t) {
        t.graphics.deltaKHz = 100000;
        t.memory.deltaKHz = 200000;
        t.power.currentPcm = 110000;
        t.thermalPolicies[1].currentLimit = 88 * 256;
        t.coolers[0].policy = sim::kSimCoolerPolicyManual;
        t.coolers[0].currentLevel = 60;
        for (int i = 0; i <= 79; ++i) t.vfPoints[static_cast<size_t>(i)].offsetKHz = 15000;
    };
    struct Row {
        const char* what;
        std::vector<TuningWriteResult> sent;
        std::function<void(sim::SimTuningState&)> change;
        std::vector<std::string> drift;
    };
    const std::vector<TuningWriteResult> all = {
        {0, TuningOperation::GraphicsClockOffset, 100, kNvOk}, {0, TuningOperation::MemoryClockOffset, 200, kNvOk},
        {0, TuningOperation::PowerTarget, 110, kNvOk},         {0, TuningOperation::ThermalLimit, 88, kNvOk},
        {0, TuningOperation::FanSpeed, 60, kNvOk},             {0, TuningOperation::GraphicsVfOffset, 15000, kNvOk}};
    const Row rows[] = {
        {"every quantity as sent", all, [](sim::SimTuningState&) {}, {}},
        {"a clock offset kept at the card's own step", all,
         [](sim::SimTuningState& t) { t.graphics.deltaKHz = 95000; },
         {"GPU 0's graphics clock offset reads 95 MHz, not the 100 MHz sent"}},
        {"a power target and a thermal limit clamped", all,
         [](sim::SimTuningState& t) {
             t.power.currentPcm = 105000;
             t.thermalPolicies[1].currentLimit = 86 * 256;
         },
         {"GPU 0's power target reads 105 %, not the 110 % sent", "GPU 0's temperature limit reads 86 C, not the 88 C sent"}},
        {"one VF point left behind", all, [](sim::SimTuningState& t) { t.vfPoints[12].offsetKHz = 0; },
         {"GPU 0's graphics VF point offset reads 0 kHz, not the 15000 kHz sent"}},
        {"a fixed fan the card took back", all,
         [](sim::SimTuningState& t) { t.coolers[0].policy = sim::kSimCoolerPolicyAuto; },
         {"GPU 0's fan is under the card's own control, not fixed at the 60 % sent"}},
        {"fans handed back, one still fixed", {{0, TuningOperation::FanAutomatic, 0, kNvOk}},
         [](sim::SimTuningState&) {}, {"GPU 0's fan is still fixed (at 60), not handed back to the card"}},
        {"a later write of the same quantity is the one judged",
         {{0, TuningOperation::GraphicsClockOffset, 50, kNvOk}, {0, TuningOperation::GraphicsClockOffset, 100, kNvOk}},
         [](sim::SimTuningState&) {}, {}},
        {"a refused write is not judged: its refusal is said already",
         {{0, TuningOperation::GraphicsClockOffset, 150, kNvInvalidArgument}}, [](sim::SimTuningState&) {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SimWorld world(ScenarioJson({CardJson(0x1B81)}));
        world.Board().hasBoostClock = 1;
        asSent(world.Card().tuning);
        row.change(world.Card().tuning);
        TuningReport sent;
        for (const TuningWriteResult& w : row.sent) sent.Add(w.gpu, w.operation, w.value, w.status);
        std::vector<std::string> drift = TuningReadBack::Drift(*world.table, sent);
        EXPECT_EQ(drift, row.drift);
    }
}

}  // namespace
}  // namespace pyx::test
