#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/CIniText.h"
#include "app/TuningApply.h"
#include "gpu/CardTuning.h"
#include "service/core/ServiceCore.h"
#include "sim/SimScenario.h"
#include "tests/support/SimWorld.h"
#include "tests/support/TempFolder.h"

namespace pyx {
namespace {

// Reading for everyone; tuning for uid 1000 alone.
class TunerOnly final : public AccessPolicy {
public:
    AccessDecision Decide(const PeerCredentials& peer, AccessClass access) const override {
        if (access == AccessClass::Read || peer.uid == 1000) return {true, {}, {}};
        return {false, "not a tuner", {}};
    }
};

struct CoreCase {
    uint32_t uid;
    std::string line;
    const char* error;           // nullptr: answered
    const char* says;            // in the message, or in the answer's text
    bool cardWritten;            // whether the request wrote to the card (its trace)
};

// Each request is answered only after its shape, its peer's rights and the cards' ranges were
// checked, and a refused one never reaches the card.
TEST(ServiceCore, RequestsAreCheckedBeforeTheyReachACard) {
    test::SimWorld world(sim::SimScenario::DefaultJson());
    const TunerOnly policy;
    ServiceCore core(*world.nv, *world.table, policy, {"9.9", "Back-end: sim"});
    EXPECT_FALSE(core.NeedsTicks()) << "nothing to watch: the service sleeps";
    const CoreCase cases[] = {
        {2000, R"({"op":"hello","version":4})", nullptr, R"("backendLine":"Back-end: sim")", false},
        {2000, R"({"op":"hello","version":3})", "versionMismatch", R"("serviceVersion":"9.9")", false},
        {2000, R"({"op":"serviceSettingsShow"})", nullptr, R"("keepLighting":true)", false},
        {2000, R"({"op":"serviceSettingsSet","keepLighting":false})", "denied", "not a tuner", false},
        {1000, R"({"op":"serviceSettingsSet","keepLighting":"no"})", "badRequest", "true or false", false},
        {2000, R"({"op":"monitor","gpu":0})", nullptr, R"("temperatureC":)", false},
        {2000, R"({"op":"monitor","gpu":7})", "outOfRange", "this machine has no GPU 7 (accepted: 0)", false},
        {2000, R"({"op":"vf","gpu":0})", nullptr, R"("domain":"GRAPHICS CLOCK")", false},
        {2000, R"({"op":"lighting","target":"zone-main","mode":"static"})", "denied", "not a tuner", false},
        {1000, R"({"op":"lighting","target":"zone-main","mode":"blink"})", "badRequest",
         R"(mode: \"blink\" is not offered by the zone-main controller)", false},
        {1000, R"({"op":"lighting","target":"zone-main","mode":"static","color":"00ff00"})", nullptr,
         R"("animated":false)", true},
        {2000, R"({"op":"vf","gpu":7})", "outOfRange", "this machine has no GPU 7", false},
        {2000, R"({"op":"fanAuto"})", "denied", "not a tuner", false},
        {1000, R"({"op":"fanAuto","gpu":3})", "outOfRange", "no GPU 3", false},
        {1000, R"({"op":"fanAuto"})", nullptr, R"("refused":false)", true},
        {2000, R"({"op":"fanAuto", "gpu":0, "raw":"0x5D"})", "badRequest", R"(unknown field \"raw\")", false},
        {2000, R"({"op":"fanCurveSet","points":"40:30,80:100"})", "denied", "not a tuner", false},
        {1000, R"({"op":"fanCurveSet","points":"40:30"})", "badRequest", "a curve has 2 to 8 points", false},
        {1000, R"({"op":"fanCurveSet","points":[40,30]})", "badRequest", R"(\"points\" is a text)", false},
        {1000, R"({"op":"fanCurveSet","points":"40:30,70:200"})", "outOfRange", "GPU 0: the point 70:200 is above", false},
        {1000, R"({"op":"fanCurveSet","points":"40:30,80:100","autoBelow":true})", nullptr,
         R"("curve":"40:30,80:100","gpu":0,"level":39)", true},
        {2000, R"({"op":"fanCurveShow","gpu":0})", nullptr, R"("curve":"40:30,80:100")", false},
        {1000, R"({"op":"fanAuto"})", nullptr, R"("refused":false)", true},
        {2000, R"({"op":"fanCurveShow"})", nullptr, R"("curve":null)", false},
    };
    for (const CoreCase& c : cases) {
        SCOPED_TRACE(c.line);
        PeerCredentials peer;
        peer.uid = c.uid;
        world.ClearTrace();
        const std::string reply = core.HandleLine(c.line, peer);
        const nlohmann::json doc = nlohmann::json::parse(reply);
        EXPECT_EQ(doc.at("ok").get<bool>(), c.error == nullptr) << reply;
        if (c.error != nullptr) {
            EXPECT_EQ(doc.at("error"), c.error) << reply;
        }
        EXPECT_NE(reply.find(c.says), std::string::npos) << reply;
        EXPECT_EQ(!world.Trace().empty(), c.cardWritten) << reply;
        // A running curve keeps the service ticking; one ended lets it sleep again.
        EXPECT_EQ(core.NeedsTicks(), reply.find(R"("curve":"40:30)") != std::string::npos) << reply;
    }
}

}  // namespace
}  // namespace pyx

namespace pyx {
namespace {

int32_t GraphicsOffsetMHz(test::SimWorld& world) { return TuningApply::Holdings(*world.table, {0}).at(0).graphicsOffsetMHz; }

struct Step {
    ConnectionId connection;
    std::string line;
    const char* error = nullptr;  // the reply's error; nullptr: answered
};

struct KeepCase {
    const char* name;
    std::vector<Step> steps;
    enum class Then { Nothing, FirstClientGoes, TimeRunsOut } then;
    bool changeStays;
    bool saved;
};

// A change stays only when the client that made it keeps it in time; whatever else happens
// (a revert, the client gone, the time run out) puts the card back, and only a kept change
// becomes the machine's settings.
TEST(ServiceCore, AChangeStaysOnlyWhenItsClientKeepsItInTime) {
    const std::string extreme = R"({"op":"apply","mode":"extreme","revertAfterS":5})";
    // A profile's values as a client sends them; {ID} becomes GPU 0's own Id.
    const auto profile = [](const char* id, const char* core) {
        return std::string(R"({"op":"applyProfile","revertAfterS":5,"sections":[{"section":"Gpu1","keys":{"Id":)") + id +
               R"(,"DyaGpuClock":")" + core + R"(","PowerTarget":"100"}}]})";
    };
    const KeepCase cases[] = {
        {"kept", {{1, extreme}, {1, R"({"op":"keep"})"}}, KeepCase::Then::Nothing, true, true},
        {"reverted", {{1, extreme}, {1, R"({"op":"revert"})"}}, KeepCase::Then::Nothing, false, false},
        {"client gone", {{1, extreme}}, KeepCase::Then::FirstClientGoes, false, false},
        {"no answer in time", {{1, extreme}}, KeepCase::Then::TimeRunsOut, false, false},
        {"another client meanwhile",
         {{1, extreme}, {2, R"({"op":"apply","mode":"common"})", "busy"}, {2, R"({"op":"keep"})", "badRequest"}},
         KeepCase::Then::FirstClientGoes, false, false},
        {"common is kept at once", {{1, R"({"op":"apply","mode":"common"})"}}, KeepCase::Then::FirstClientGoes, true, true},
        {"out of the card's range",
         {{1, R"({"op":"apply","mode":"custom","custom":{"core":99999,"mem":0,"power":100,"fan":50}})", "outOfRange"}},
         KeepCase::Then::Nothing, true, false},
        {"a profile kept", {{1, profile("{ID}", "50")}, {1, R"({"op":"keep"})"}}, KeepCase::Then::Nothing, true, true},
        {"a profile reverted", {{1, profile("{ID}", "50")}, {1, R"({"op":"revert"})"}}, KeepCase::Then::Nothing, false,
         false},
        {"a profile not answered in time", {{1, profile("{ID}", "50")}}, KeepCase::Then::TimeRunsOut, false, false},
        {"a profile out of the card's range", {{1, profile("{ID}", "99999"), "outOfRange"}}, KeepCase::Then::Nothing,
         true, false},
        {"a profile for other cards", {{1, profile(R"("PCI\\VEN_10DE&DEV_0000")", "50"), "outOfRange"}},
         KeepCase::Then::Nothing, true, false},
    };
    for (const KeepCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::SimWorld world(sim::SimScenario::DefaultJson());
        test::TempFolder settings("pyx-service-settings-");
        const TunerOnly policy;
        ServiceCore core(*world.nv, *world.table, policy, {"1", "Back-end: sim"}, settings.Path());
        PeerCredentials tuner;
        tuner.uid = 1000;
        const int32_t before = GraphicsOffsetMHz(world);
        int32_t applied = before;
        const std::string id = nlohmann::json(CIniText::ToUtf8(world.Board(0).deviceIdText)).dump();
        for (const Step& step : c.steps) {
            std::string line = step.line;
            if (const size_t at = line.find("{ID}"); at != std::string::npos) line.replace(at, 4, id);
            const auto reply = nlohmann::json::parse(core.HandleLine(line, tuner, step.connection));
            EXPECT_EQ(reply.value("error", std::string()), step.error ? step.error : "") << reply;
            if (line == extreme || (line.find("applyProfile") != std::string::npos && !step.error))
                applied = GraphicsOffsetMHz(world);
        }
        if (c.then == KeepCase::Then::FirstClientGoes) (void)core.ConnectionClosed(1);
        if (c.then == KeepCase::Then::TimeRunsOut) {
            EXPECT_TRUE(core.NeedsTicks()) << "a countdown runs";
            EXPECT_TRUE(core.Tick(PendingChange::Clock::now() + std::chrono::seconds(4)).empty());
            EXPECT_FALSE(core.Tick(PendingChange::Clock::now() + std::chrono::seconds(6)).empty());
        }
        EXPECT_EQ(GraphicsOffsetMHz(world), c.changeStays ? applied : before);
        EXPECT_EQ(std::filesystem::exists(settings.Path() / "Preformance.txt"), c.saved);
    }
}

// The kept settings come back at every start, resume and driver change of the service, but not
// in the run after one that went down while they were going on.
TEST(ServiceCore, StoredSettingsComeBackEachTimeButNotAfterACrashWhileTheyWentOn) {
    test::TempFolder settings("pyx-service-settings-");
    const TunerOnly policy;
    PeerCredentials tuner;
    tuner.uid = 1000;
    int32_t kept = 0;
    {
        test::SimWorld world(sim::SimScenario::DefaultJson());
        ServiceCore core(*world.nv, *world.table, policy, {"1", "Back-end: sim"}, settings.Path());
        (void)core.HandleLine(R"({"op":"apply","mode":"extreme"})", tuner, 1);
        (void)core.HandleLine(R"({"op":"keep"})", tuner, 1);
        kept = GraphicsOffsetMHz(world);
        core.End();
    }
    ASSERT_NE(kept, 0);
    const auto joined = [](const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += line + "\n";
        return text;
    };
    {
        test::SimWorld world(sim::SimScenario::DefaultJson());
        ServiceCore core(*world.nv, *world.table, policy, {"1", "Back-end: sim"}, settings.Path());
        for (const char* occasion : {"at the service's start", "after a resume", "after a driver change"}) {
            SCOPED_TRACE(occasion);
            EXPECT_NE(joined(core.Reapply(occasion)).find(std::string("put back ") + occasion), std::string::npos);
            EXPECT_EQ(GraphicsOffsetMHz(world), kept);
            // What a suspend or a driver reload does to the card: the offsets are gone.
            (void)CardTuning(*world.table, 0).Write({.graphicsOffsetKHz = 0});
        }
        // Goes down without its end: its put-back's marker stays behind.
    }
    test::SimWorld world(sim::SimScenario::DefaultJson());
    ServiceCore core(*world.nv, *world.table, policy, {"1", "Back-end: sim"}, settings.Path());
    EXPECT_NE(joined(core.Reapply("at the service's start")).find("were not put back"), std::string::npos);
    EXPECT_EQ(GraphicsOffsetMHz(world), 0);
}

// A curve set through the service is the machine's until a hand-back ends it, and comes back
// with the rest of the settings.
TEST(ServiceCore, ACurveComesBackAtTheNextStartUntilAHandBackEndsIt) {
    test::TempFolder settings("pyx-service-settings-");
    const TunerOnly policy;
    PeerCredentials tuner;
    tuner.uid = 1000;
    const auto show = [&](ServiceCore& core) {
        return nlohmann::json::parse(core.HandleLine(R"({"op":"fanCurveShow","gpu":0})", tuner)).at("gpus").at(0);
    };
    for (const bool endIt : {false, true}) {
        SCOPED_TRACE(endIt ? "ended" : "kept");
        {
            test::SimWorld world(sim::SimScenario::DefaultJson());
            ServiceCore core(*world.nv, *world.table, policy, {"1", "Back-end: sim"}, settings.Path());
            const auto set = nlohmann::json::parse(core.HandleLine(R"({"op":"fanCurveSet","points":"30:40,90:100"})", tuner));
            EXPECT_TRUE(set.at("saved").get<bool>()) << set;
            EXPECT_EQ(show(core).at("level"), 40 + (45 - 30) * 60 / 60) << "the first level goes out at once (45 C)";
            if (endIt) (void)core.HandleLine(R"({"op":"fanAuto"})", tuner);
            core.End();
        }
        test::SimWorld world(sim::SimScenario::DefaultJson());
        ServiceCore core(*world.nv, *world.table, policy, {"1", "Back-end: sim"}, settings.Path());
        (void)core.Reapply("at the service's start");
        EXPECT_EQ(show(core).at("curve"), endIt ? nlohmann::json() : nlohmann::json("30:40,90:100"));
        core.End();
    }
}

}  // namespace
}  // namespace pyx

namespace pyx {
namespace {

// An effect the owner animates runs on after its answer (the basic controller's colour, fed
// the load at each tick; breathing in step over every GPU) until the service's end stops it, or,
// where the lighting is not kept running without Pyxtune, until the client that ordered it goes.
// That choice is the machine's: kept for the service's next start.
TEST(ServiceCore, TheOwnerAnimatesTheLightingItWasAskedForUntilItEnds) {
    struct Row {
        const char* scenario;
        const char* line;
        bool fedEachTick;
        bool keepRunning;         // the service's choice, made by another client
        ConnectionId goes;        // the connection that ends (1 ordered the effect)
    } rows[] = {
        {"led-basic-class1.json", R"({"op":"lighting","target":"basic","mode":"gpu-load"})", true, true, 1},
        {"led-two-cards.json", R"({"op":"lighting","all":true,"target":"zone-main","mode":"breathing"})", false, true, 1},
        {"led-two-cards.json", R"({"op":"lighting","all":true,"target":"zone-main","mode":"breathing"})", false, false, 1},
        {"led-basic-class1.json", R"({"op":"lighting","target":"basic","mode":"gpu-load"})", true, false, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.line) + (row.keepRunning ? " kept running" : " not kept running"));
        test::SimWorld world(row.scenario);
        const test::TempFolder settings("pyx-keep-");
        const TunerOnly policy;
        ServiceCore core(*world.nv, *world.table, policy, {"1", "Back-end: sim"}, settings.Path());
        PeerCredentials tuner;
        tuner.uid = 1000;
        const auto reply = nlohmann::json::parse(core.HandleLine(row.line, tuner, 1));
        ASSERT_TRUE(reply.value("ok", false)) << reply;
        EXPECT_TRUE(reply.value("animated", false)) << reply;
        EXPECT_EQ(core.NeedsTicks(), row.fedEachTick);
        const std::string set = std::string(R"({"op":"serviceSettingsSet","keepLighting":)") +
                                (row.keepRunning ? "true}" : "false}");
        EXPECT_EQ(nlohmann::json::parse(core.HandleLine(set, tuner, 2)).value("stopped", true), false)
            << "its client is still there";

        // Frames on every GPU driven.
        const auto framesWithin = [&](std::chrono::milliseconds wait) {
            world.ClearTrace();
            const auto until = std::chrono::steady_clock::now() + wait;
            const auto gpusWritten = [&] {
                std::set<std::string> gpus;
                for (const std::string& line : world.TraceOf("I2CWrite")) gpus.insert(line.substr(line.find("gpu="), 5));
                return gpus.size();
            };
            while (gpusWritten() < reply.at("gpus").size() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return gpusWritten() == reply.at("gpus").size();
        };
        EXPECT_TRUE(core.Tick().empty());
        EXPECT_TRUE(framesWithin(std::chrono::seconds(3))) << "the effect runs after the answer";
        const bool stops = !row.keepRunning && row.goes == 1;
        EXPECT_EQ(core.ConnectionClosed(row.goes).size(), stops ? 1u : 0u);
        if (stops) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_FALSE(framesWithin(std::chrono::milliseconds(500))) << "its client went, and the effect with it";
        } else {
            EXPECT_TRUE(framesWithin(std::chrono::seconds(3))) << "it runs on";
        }
        (void)core.End();
        world.ClearTrace();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_TRUE(world.TraceOf("I2CWrite").empty()) << "the service's end stopped it";
        ServiceCore next(*world.nv, *world.table, policy, {"1", "Back-end: sim"}, settings.Path());
        EXPECT_EQ(nlohmann::json::parse(next.HandleLine(R"({"op":"serviceSettingsShow"})", tuner)).value("keepLighting", !row.keepRunning),
                  row.keepRunning);
    }
}


// The cards' table is the start's: a GPU plugged in since is noticed (the service then ends, to be
// started anew with it), the same GPUs are not.
TEST(ServiceCore, AGpuPluggedInSinceTheStartIsNoticed) {
    test::SimWorld world(sim::SimScenario::DefaultJson());
    const TunerOnly policy;
    ServiceCore core(*world.nv, *world.table, policy, {"1", "Back-end: sim"});
    EXPECT_EQ(core.GpusChanged(), std::nullopt);
    world.sim->AddCard();
    EXPECT_EQ(core.GpusChanged().value_or(""), "the library finds 2 GPU(s) where the service started with 1");
}

// Lines holding both parts.
size_t CountLines(const std::vector<std::string>& lines, const std::string& a, const std::string& b) {
    size_t n = 0;
    for (const std::string& line : lines) n += line.find(a) != std::string::npos && line.find(b) != std::string::npos;
    return n;
}

// The lighting last ordered is the machine's: kept in "Led.txt" and, on cards as they come,
// put back with the settings where it was ordered (a card with zones and effects lit on its
// zones gets its zones back). A lighting that
// cannot be kept is shown all the same, and the answer says why it was not kept.
TEST(ServiceCore, TheLightingLastOrderedComesBackWithTheSettings) {
    struct Row {
        const char* scenario;
        std::vector<std::string> lines;
        const char* putBack;  // nullptr: nothing kept, nothing put back
        bool followsLoad;
        std::vector<std::string> written = {};  // "gpu=N ", "data=XXXX": the colour each GPU gets back
    } rows[] = {
        {"led-basic-class1.json", {R"({"op":"lighting","target":"basic","mode":"gpu-load"})"}, "GPU 0 basic gpu-load", true},
        {"led-effect.json", {R"({"op":"lighting","target":"effect-main","mode":"meteor","color":"00ff00"})"},
         "GPU 0 effect-main meteor", false},
        {"led-two-cards.json", {R"({"op":"lighting","all":true,"target":"zone-main","mode":"breathing"})"},
         "GPU 0 zone-main breathing, GPU 1 zone-main breathing", false},
        // Its probe finds zone 1 first; the main zone was lit, and that is where it goes back.
        {"led-zone.json", {R"({"op":"lighting","target":"zone-main","mode":"static","color":"0000ff"})"},
         "GPU 0 zone-main static", false},
        {"led-zone.json", {R"({"op":"lighting","target":"zone-main","mode":"static"})"}, nullptr, false},
        // The Reset button's lighting: zones red and static, the basic controller white and static;
        // it takes each GPU back to where the window's start goes by its kind (zone 1 first).
        {"led-zone.json", {R"({"op":"lightingReset"})"}, "GPU 0 zone-1 static", false},
        {"led-basic-class1.json", {R"({"op":"lightingReset"})"}, "GPU 0 basic static", false},
        // Without the keep-running choice nobody is left to want the effect the program drives:
        // the put-back lights the controller and starts nothing.
        {"led-basic-class1.json",
         {R"({"op":"lighting","target":"basic","mode":"gpu-load"})", R"({"op":"serviceSettingsSet","keepLighting":false})"},
         "GPU 0 basic gpu-load", false},
        // Two GPUs lit apart come back apart: each its own colour, neither the one lit last.
        {"led-two-cards.json",
         {R"({"op":"lighting","gpu":0,"target":"zone-main","mode":"static","color":"ff0000"})",
          R"({"op":"lighting","gpu":1,"target":"zone-main","mode":"static","color":"00ff00"})"},
         "GPU 0 zone-main static, GPU 1 zone-main static", false, {"gpu=0 ", "data=ff0000", "gpu=1 ", "data=00ff00"}},
    };
    const TunerOnly policy;
    PeerCredentials tuner;
    tuner.uid = 1000;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lines.back());
        test::TempFolder settings("pyx-service-lighting-");
        // Where "Led.txt" should be, a folder: the file cannot be written.
        if (!row.putBack) std::filesystem::create_directory(settings.Path() / "Led.txt");
        {
            test::SimWorld world(row.scenario);
            ServiceCore core(*world.nv, *world.table, policy, {"1", "Back-end: sim"}, settings.Path());
            for (const std::string& line : row.lines) {
                const auto reply = nlohmann::json::parse(core.HandleLine(line, tuner));
                ASSERT_TRUE(reply.value("ok", false)) << reply;
                EXPECT_EQ(reply.contains("notKept"), row.putBack == nullptr) << reply;
            }
            (void)core.End();
        }
        test::SimWorld world(row.scenario);
        ServiceCore core(*world.nv, *world.table, policy, {"1", "Back-end: sim"}, settings.Path());
        world.ClearTrace();
        std::string log;
        for (const std::string& line : core.Reapply("at the service's start")) log += line + "\n";
        if (!row.putBack) {
            EXPECT_EQ(log.find("the lighting was put back"), std::string::npos) << log;
            continue;
        }
        EXPECT_NE(log.find(std::string("the lighting was put back at the service's start: ") + row.putBack),
                  std::string::npos)
            << log;
        EXPECT_FALSE(world.TraceOf("I2CWrite").empty()) << "the controllers were written";
        for (size_t k = 0; k + 1 < row.written.size(); k += 2)
            EXPECT_EQ(CountLines(world.TraceOf("I2CWrite"), row.written[k], row.written[k + 1]), 1u)
                << row.written[k] << row.written[k + 1];
        EXPECT_EQ(core.NeedsTicks(), row.followsLoad);
        (void)core.End();
    }
}

}  // namespace
}  // namespace pyx
