#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "app/ServiceChanges.h"
#include "app/ServiceReads.h"
#include "gpu/CardTuning.h"
#include "gpu/HardwareStartup.h"
#include "gpu/HardwareThread.h"
#include "sim/SimScenario.h"
#include "tests/support/CoreChannel.h"
#include "tests/support/SimWorld.h"
#include "tests/support/TempFolder.h"

namespace pyx {
namespace {

class Everyone final : public AccessPolicy {
public:
    AccessDecision Decide(const PeerCredentials&, AccessClass) const override { return {true, {}, {}}; }
};

// A service core over simulated cards brought up as the service brings its cards up (the fans'
// ranges come from the start), and the window's client of it.
struct ServiceOverSim {
    explicit ServiceOverSim(const std::string& scenario) : world(scenario) {
        EXPECT_EQ(StartHardware(*world.table, thread, [] { return std::optional<OsVersion>(); }), kStartHardwareOk);
        EXPECT_TRUE(thread.WaitFinished(std::chrono::seconds(10)));
        std::string error;
        client = ServiceClient::Greet(std::make_unique<test::CoreChannel>(core, PeerCredentials{}), "core", "window",
                                      "9.9", error);
        EXPECT_NE(client, nullptr) << error;
    }
    test::SimWorld world;
    const test::TempFolder folder{"pyx-changes-"};
    HardwareThread thread{nullptr, BiosReaderOptions{folder.Path(), {}, std::chrono::milliseconds(0),
                                                     std::chrono::milliseconds(1)}};
    const Everyone policy;
    ServiceCore core{*world.nv, *world.table, policy, {"9.9", "Back-end: sim"}};
    std::unique_ptr<ServiceClient> client;
};

struct ChangeCase {
    const char* name;
    int mode;
    int32_t coreMHz;
    bool curve;         // the page carries a fan curve
    bool linked;        // every GPU, as with the link button
    bool keep;          // the keep answer
    bool done;          // the service carried the Apply out
    const char* says;   // in the Apply's text
    int32_t heldMHz;    // the card's graphics offset at the end
    bool curveRuns;     // the service drives the fan by the curve at the end
};

// The window's page reaches the cards only through the service, and what the user answers
// decides what the cards keep: kept, the change (and its curve) stays; not, it goes.
TEST(ServiceChanges, ThePageIsAppliedThereAndKeptOnlyWhenTheUserKeepsIt) {
    const ChangeCase cases[] = {
        {"custom kept", kTuningModeCustom, 100, false, false, true, true, "Hardware settings applied!", 100, false},
        {"custom taken back", kTuningModeCustom, 100, false, false, false, true, "Hardware settings applied!", 0, false},
        {"custom with its curve kept", kTuningModeCustom, 50, true, false, true, true, "applied", 50, true},
        {"custom with its curve taken back", kTuningModeCustom, 50, true, false, false, true, "applied", 0, false},
        {"out of the card's range", kTuningModeCustom, 900, false, false, true, false,
         "core: 900 MHz is outside GPU 0's range -200..200 MHz", 0, false},
        {"linked, with its curve, kept", kTuningModeCustom, 60, true, true, true, true, "applied", 60, true},
        {"common, kept at once", kTuningModeCommon, 0, false, false, false, true, "applied", 0, false},
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ServiceOverSim service(sim::SimScenario::DefaultJson());
        ASSERT_NE(service.client, nullptr);
        ServiceClient& client = *service.client;
        TuningPage page;
        page.selectedGpu = 0;
        page.tuningMode = c.mode;
        page.linkAllGpus = c.linked;
        page.gpuClock = {c.coreMHz, -200, 200};
        page.power = {100, 50, 120};
        page.fan = {50, 0, 100};
        if (c.curve) page.fanCurve = FanCurve{{{40, 30}, {80, 100}}, false};
        ServiceChanges changes(client);
        const ServiceChanges::Outcome applied = changes.Apply(page, 20);
        EXPECT_EQ(applied.done, c.done) << applied.text;
        EXPECT_NE(applied.text.find(c.says), std::string::npos) << applied.text;
        EXPECT_EQ(applied.waitsForKeep, c.done && c.mode != kTuningModeCommon);
        const std::string answered = !applied.waitsForKeep ? "" : c.keep ? changes.Keep(page) : changes.Revert();
        EXPECT_EQ(answered, "");
        const auto offsets = CardTuning(*service.world.table, 0).ReadClockOffsets();
        ASSERT_TRUE(offsets.has_value());
        EXPECT_EQ(offsets->graphics.valueKHz, c.heldMHz * 1000);
        EXPECT_EQ(ServiceReads(client).RunningCurve(0), c.curveRuns ? page.fanCurve : std::nullopt);
        service.core.Tick();
        EXPECT_EQ(ServiceReads(client).CurveLive(0).has_value(), c.curveRuns);
        EXPECT_NE(changes.Revert().find("no change of this connection waits"), std::string::npos)
            << "nothing is left waiting for an answer";
    }
}

// The LED page's choice, as its file keeps it, goes out by the names the service takes, to every
// GPU lit: several on one target in step, GPUs on other targets each alone, one without a target
// or whose target's mode chooses nothing left out.
TEST(ServiceChanges, TheLightingChosenIsAskedForByNameForEveryGpuLit) {
    LedSettings saved;
    saved.gm1Mode = 1;  // zones static
    saved.red = 0;
    saved.green = 255;
    saved.blue = 0;
    using T = std::optional<LedTarget>;
    const struct {
        std::vector<T> targets;
        std::vector<std::string> asked;  // gpu (or "all"), target, mode, colour of each request
    } rows[] = {
        {{LedTarget::Zone58}, {"0 zone-main static 00ff00"}},
        {{LedTarget::Zone58, LedTarget::Zone58}, {"all zone-main static 00ff00"}},
        {{LedTarget::Zone58, LedTarget::EffectAC}, {"0 zone-main static 00ff00"}},
        {{LedTarget::Zone46, std::nullopt, LedTarget::Zone58}, {"0 zone-1 static 00ff00", "2 zone-main static 00ff00"}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> asked;
        for (const ServiceRequest& r : ServiceChanges::LightingRequests(saved, row.targets))
            asked.push_back((r.allGpus ? std::string("all") : std::to_string(r.gpu.value_or(-1))) + " " + r.ledTarget +
                            " " + r.ledMode + " " + r.ledColour.value_or("?"));
        EXPECT_EQ(asked, row.asked);
    }
}

// What the window shows of the cards while the service owns them is what it would read itself:
// the readouts of each GPU, none of a GPU the cards lack; the history the service keeps, and only
// what is new on the next ask; a reading that is not one is not shown.
TEST(ServiceReads, TheWindowShowsWhatItWouldReadItself) {
    ServiceOverSim service("two-cards-under-load.json");
    ASSERT_NE(service.client, nullptr);
    ServiceReads reads(*service.client);
    for (const int gpu : {0, 1, 7}) {
        SCOPED_TRACE(gpu);
        const MonitorReadings asked = reads.Readings(gpu), own = ReadMonitors(*service.world.table, gpu);
        EXPECT_EQ(asked.read, gpu != 7);
        EXPECT_EQ(std::tie(asked.graphicsText, asked.memoryText, asked.temperatureText, asked.fanText, asked.fanUnit,
                           asked.loadPercent, asked.gpuLoad),
                  std::tie(own.graphicsText, own.memoryText, own.temperatureText, own.fanText, own.fanUnit,
                           own.loadPercent, own.gpuLoad));
    }

    EXPECT_EQ(reads.SamplesSince(std::nullopt), std::nullopt) << "a service that keeps no history says so";
    service.core.KeepHistory();
    service.core.Tick();
    const auto kept = reads.SamplesSince(std::nullopt);
    ASSERT_TRUE(kept.has_value());
    ASSERT_EQ(kept->size(), 2u);
    EXPECT_EQ(kept->at(1).gpu, 1);
    EXPECT_EQ(kept->at(1).temperatureC, ReadSample(*service.world.table, 1, 0).temperatureC);
    EXPECT_EQ(reads.SamplesSince(kept->back().timeMs + 1).value_or(kept.value()).size(), 0u);

    const nlohmann::json good = {{"gpu", 0},          {"graphicsClockMHz", 1500}, {"memoryClockMHz", 4000},
                                 {"temperatureC", 61}, {"fan", nullptr},          {"fanUnit", "rpm"},
                                 {"loadPercent", 0},   {"backend", "sim"}};
    const MonitorReadings whole = ReadingsFromJson(good);
    EXPECT_TRUE(whole.read);
    EXPECT_EQ(std::tie(whole.graphicsText, whole.temperatureText, whole.fanText), std::tie("1500", "61", ""));
    EXPECT_EQ(whole.gpuLoad, 1) << "an idle GPU still counts as 1 % for the lighting";
    for (const auto& [key, value] : {std::pair<std::string, nlohmann::json>{"temperatureC", nullptr},
                                     {"graphicsClockMHz", "1500"},
                                     {"fanUnit", "furlongs"},
                                     {"fan", 2.5}}) {
        nlohmann::json bad = good;
        bad[key] = value;
        EXPECT_FALSE(ReadingsFromJson(bad).read) << bad.dump();
    }
}

}  // namespace
}  // namespace pyx
