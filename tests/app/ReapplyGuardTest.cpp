#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include "app/AppCore.h"
#include "app/ReapplyGuard.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "tests/support/FakeInstanceLock.h"
#include "tests/support/FakeMessageSink.h"
#include "tests/support/FakeServiceControl.h"
#include "tests/support/TempFolder.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
const ReapplyGuard::Clock::time_point kT0 = ReapplyGuard::Clock::from_time_t(1'700'000'000);

void Put(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

struct Folder {  // settings where the simulator keeps them; crashed: put back by a start that never finished
    test::TempFolder temp{"pyx-reapply-"};
    fs::path dir = temp.Path() / "simulated", settings = dir / "Preformance.txt";
    explicit Folder(bool crashed) {
        fs::create_directories(dir);
        Put(settings, "[Gpu1]\nDyaGpuClock=150\n");
        EXPECT_TRUE(!crashed || ReapplyGuard(dir).Begin(settings, kT0 - 1h));
    }
};

TEST(ReapplyGuard, AStartPutsTheSettingsBackUnlessAStartThatDidSoNeverFinished) {
    using Then = void (*)(const Folder&);  // what happened after the earlier start
    const char *now = "2023-11-14T22:13:20Z", *crash = "2023-11-14T21:13:20Z";  // when the marker went down
    const struct { const char* name; bool crashed; Then then; bool putBack; const char* started; } cases[] = {
        {"first start", false, nullptr, true, now},
        {"same file after an unfinished start", true, nullptr, false, crash},
        {"skipped twice", true, [](auto& f) { ReapplyGuard(f.dir).Begin(f.settings, kT0 - 30min); }, false, crash},
        {"file changed since", true, [](auto& f) { Put(f.settings, "[Gpu1]\nDyaGpuClock=100\n"); }, true, now},
        {"garbled marker", false, [](auto& f) { Put(f.dir / kReapplyMarkerFileName, "\x01\x02"); }, false, ""},
        {"file gone since", true, [](auto& f) { fs::remove(f.settings); }, true, nullptr},  // no marker
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Folder f(c.crashed);
        if (c.then) c.then(f);
        ReapplyGuard guard(f.dir);
        EXPECT_EQ(guard.Begin(f.settings, kT0), c.putBack);
        EXPECT_EQ(guard.Skipped(), !c.putBack);
        const ReapplyMarker marker = ReapplyGuard::ReadMarker(f.dir);
        EXPECT_EQ(marker.present, c.started != nullptr);
        EXPECT_EQ(marker.skipped, !c.putBack);
        EXPECT_EQ(marker.startedAt, c.started ? c.started : "");
    }
}

TEST(ReapplyGuard, TheMarkerGoesAMinuteAfterACleanPutBackOrAtACleanExitButASkipKeepsIt) {
    enum class Step { Landed, Refused, UserChose, Tick, End };
    struct Event { Step step; std::chrono::seconds at; bool markerAfter; };
    const struct { const char* name; bool crashed; std::vector<Event> events; } cases[] = {
        {"landed", false, {{Step::Landed, 2s, true}, {Step::Tick, 61s, true}, {Step::Tick, 62s, false}}},
        {"exit while putting back", false, {{Step::Tick, 3600s, true}, {Step::End, 3601s, false}}},
        {"refused", false, {{Step::Refused, 2s, true}, {Step::Tick, 3600s, true}, {Step::End, 3601s, false}}},
        {"skipped", true, {{Step::Landed, 2s, true}, {Step::Tick, 3600s, true}, {Step::End, 3601s, true}}},
        {"user's choice", true, {{Step::UserChose, 9s, true}, {Step::Tick, 68s, true}, {Step::Tick, 69s, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Folder f(c.crashed);
        ReapplyGuard guard(f.dir, 60s);
        EXPECT_EQ(guard.Begin(f.settings, kT0), !c.crashed);
        for (const Event& e : c.events) {
            if (e.step == Step::Landed || e.step == Step::Refused) guard.Finished(e.step == Step::Refused, kT0 + e.at);
            if (e.step == Step::UserChose) guard.UserChose(kT0 + e.at);
            if (e.step == Step::Tick) guard.Tick(kT0 + e.at);
            if (e.step == Step::End) guard.End();
            EXPECT_EQ(fs::exists(guard.MarkerFile()), e.markerAfter) << "at " << e.at.count() << " s";
        }
    }
}

TEST(ReapplyGuard, AStartAfterAnUnfinishedOneLeavesTheLoaderOut) {  // only a start shows whether the loader runs
    const fs::path cwd = fs::current_path();  // a start moves into its program's folder
    const Folder f(false);
    FakeMessageSink messages;
    FakeServiceControl services;
    int loads = 0;
    const auto start = [&] {
        auto core = std::make_unique<AppCore>(std::make_unique<sim::SimLibrarySource>(sim::SimScenario::Default()));
        FakeInstanceLock lock(std::make_shared<FakeInstanceLock::Machine>(), 1);
        AppPlatform platform{lock, messages, services, nullptr};
        core->Start(platform, f.temp.Path() / "pyxtune", "", nullptr, [&](auto&, auto&, auto&) { ++loads; });
        return core;
    };
    start();  // never Ended, as under SIGKILL
    start()->End();
    EXPECT_EQ(loads, 1);  // the first start's
    EXPECT_TRUE(ReapplyGuard::ReadMarker(f.dir).skipped);
    fs::current_path(cwd);
}

}  // namespace
}  // namespace pyx
