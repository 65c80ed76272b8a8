// The card owner's history: sampled at each tick once it is kept, asked for since a time, and
// an owner that keeps none still sleeps when idle.
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "gpu/CardSensors.h"
#include "gpu/CardTuning.h"
#include "service/core/ServiceCore.h"
#include "sim/SimScenario.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"

namespace pyx {
namespace {

class Everyone final : public AccessPolicy {
public:
    AccessDecision Decide(const PeerCredentials&, AccessClass) const override { return {true, {}, {}}; }
};

constexpr int64_t kStartMs = 1714564800000;  // 2024-05-01T12:00:00Z

nlohmann::json Ask(ServiceCore& core, const std::string& line) {
    return nlohmann::json::parse(core.HandleLine(line, PeerCredentials{}));
}

// An hour and a bit of ticks on virtual time (steady and wall clock both): the history then
// answers exactly the last hour of both GPUs, or what a client asks of it.
TEST(ServiceHistory, TicksKeepAnHourThatAClientAsksForSinceATime) {
    test::SimWorld world(test::CardsJson(2));
    const Everyone policy;
    ServiceCore core(*world.nv, *world.table, policy, {"9.9", "Back-end: sim"});
    EXPECT_FALSE(core.NeedsTicks());
    EXPECT_EQ(Ask(core, R"({"op":"history"})").at("kept"), false) << "none kept until asked to";
    core.KeepHistory();
    EXPECT_TRUE(core.NeedsTicks()) << "a history is a second's work, every second";
    const auto steady = PendingChange::Clock::now();
    const auto wall = std::chrono::system_clock::time_point(std::chrono::milliseconds(kStartMs));
    constexpr int kTicks = 3600 + 120;
    for (int s = 0; s < kTicks; ++s)
        EXPECT_TRUE(core.Tick(steady + std::chrono::seconds(s), wall + std::chrono::seconds(s)).empty());
    const int64_t lastMs = kStartMs + (kTicks - 1) * 1000;

    struct Case {
        std::string line;
        size_t samples;
        int64_t firstMs;
    };
    const Case cases[] = {
        {R"({"op":"history"})", 2 * 3600, lastMs - 3599 * 1000},
        {R"({"op":"history","gpu":1})", 3600, lastMs - 3599 * 1000},
        {R"({"op":"history","since":)" + std::to_string(lastMs - 9999) + "}", 2 * 10, lastMs - 9000},
        {R"({"op":"history","gpu":0,"since":)" + std::to_string(lastMs) + "}", 1, lastMs},
        {R"({"op":"history","since":)" + std::to_string(lastMs + 1) + "}", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const nlohmann::json answer = Ask(core, c.line);
        ASSERT_EQ(answer.at("ok"), true) << answer.dump().substr(0, 200);
        EXPECT_EQ(answer.at("kept"), true);
        EXPECT_EQ(answer.at("keptS"), 3600);
        const nlohmann::json& samples = answer.at("samples");
        ASSERT_EQ(samples.size(), c.samples);
        if (samples.empty()) continue;
        EXPECT_EQ(samples.front().at("timeMs"), c.firstMs);
        EXPECT_EQ(samples.back().at("timeMs"), lastMs);
        const auto first = SampleFromJson(samples.front());
        ASSERT_TRUE(first.has_value());
        EXPECT_EQ(first->temperatureC, CardSensors(*world.table, first->gpu).ReadGpuTemperatureC());
        EXPECT_TRUE(first->thermalLimitC && first->powerLimitPcm) << "the limits in force are in each sample";
    }
    const std::vector<HistorySample> latest = core.LatestSamples();
    ASSERT_EQ(latest.size(), 2u);
    EXPECT_EQ(latest[1].timeMs, lastMs);
    EXPECT_EQ(Ask(core, R"({"op":"history","gpu":2})").at("error"), "outOfRange");
    EXPECT_LT(core.History()->MemoryBytes(), 1000u * 1000u);
}

// monitor's answer carries a sample beside its reading, for its CSV and log.
TEST(ServiceHistory, AMonitorAnswerCarriesTheSampleWithTheLimitsInForce) {
    test::SimWorld world(sim::SimScenario::DefaultJson());
    const Everyone policy;
    ServiceCore core(*world.nv, *world.table, policy, {"9.9", "Back-end: sim"});
    const nlohmann::json answer = Ask(core, R"({"op":"monitor","gpu":0})");
    const auto sample = SampleFromJson(answer.at("sample"));
    ASSERT_TRUE(sample.has_value()) << answer.dump();
    EXPECT_EQ(sample->gpu, 0);
    EXPECT_EQ(sample->temperatureC, answer.at("reading").at("temperatureC").get<int32_t>());
    EXPECT_EQ(sample->thermalLimitC, CardTuning(*world.table, 0).ReadThermalLimitC());
    EXPECT_FALSE(core.NeedsTicks()) << "a monitor request keeps no history";
}

}  // namespace
}  // namespace pyx
