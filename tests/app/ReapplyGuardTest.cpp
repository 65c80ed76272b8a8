#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/AppCore.h"
#include "app/ReapplyGuard.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "tests/support/FakeInstanceLock.h"
#include "tests/support/FakeMessageSink.h"
#include "tests/support/FakeServiceControl.h"
#include "tests/support/FileText.h"
#include "tests/support/TempFolder.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = ReapplyGuard::Clock;

const Clock::time_point kT0 = Clock::from_time_t(1'700'000'000);

void Put(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

// What the folder holds before a start, as earlier starts (or the user) left it.
enum class Before {
    Nothing,             // first start ever
    CrashedOnSameFile,   // an earlier start put this file back and never finished
    CrashedTwice,        // ... and the start after it skipped, then ended as well
    CrashedFileChanged,  // ... but the file has since been written anew
    GarbledMarker,       // a marker that names no settings
    CrashedFileGone,     // ... and the settings file is gone since
};

TEST(ReapplyGuard, AStartPutsTheSettingsBackUnlessAStartThatDidSoNeverFinished) {
    struct Case {
        Before before;
        bool putBack;
        ReapplyState state;
        bool markerAfter;
        bool skipNoted;
    };
    const Case cases[] = {
        {Before::Nothing, true, ReapplyState::Applying, true, false},
        {Before::CrashedOnSameFile, false, ReapplyState::Skipped, true, true},
        {Before::CrashedTwice, false, ReapplyState::Skipped, true, true},
        {Before::CrashedFileChanged, true, ReapplyState::Applying, true, false},
        {Before::GarbledMarker, false, ReapplyState::Skipped, true, true},
        {Before::CrashedFileGone, true, ReapplyState::NotBegun, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.before));
        const test::TempFolder temp("pyx-reapply-");
        const fs::path settings = temp.Path() / "Preformance.txt";
        Put(settings, "[Gpu1]\nDyaGpuClock=150\n");
        if (c.before != Before::Nothing && c.before != Before::GarbledMarker) {
            ReapplyGuard crashed(temp.Path());
            ASSERT_TRUE(crashed.Begin(settings, kT0 - 1h));  // and never Finished nor Ended
        }
        if (c.before == Before::CrashedTwice) {
            ReapplyGuard skipped(temp.Path());
            ASSERT_FALSE(skipped.Begin(settings, kT0 - 30min));
            skipped.End();
        }
        if (c.before == Before::CrashedFileChanged) Put(settings, "[Gpu1]\nDyaGpuClock=100\n");
        if (c.before == Before::GarbledMarker) Put(temp.Path() / kReapplyMarkerFileName, "\x01\x02");
        if (c.before == Before::CrashedFileGone) fs::remove(settings);

        ReapplyGuard guard(temp.Path());
        EXPECT_EQ(guard.Begin(settings, kT0), c.putBack);
        EXPECT_EQ(guard.State(), c.state);
        EXPECT_EQ(guard.Skipped(), !c.putBack);
        const ReapplyMarker marker = ReapplyGuard::ReadMarker(temp.Path());
        EXPECT_EQ(marker.present, c.markerAfter);
        EXPECT_EQ(marker.skipped, c.skipNoted);
        if (c.state == ReapplyState::Applying) {
            EXPECT_EQ(marker.startedAt, "2023-11-14T22:13:20Z");
            EXPECT_EQ(test::FileText(guard.MarkerFile()).rfind("re-apply in progress\n", 0), 0u);
        }
    }
}

// One step of a run after its start; marker: whether it is still there afterwards.
enum class Step { FinishedClean, FinishedRefused, UserChose, Tick, End };
struct Event {
    Step step;
    std::chrono::seconds atS;  // after the start
    bool marker;
};

TEST(ReapplyGuard, TheMarkerGoesAMinuteAfterACleanPutBackOrAtACleanExitButASkipKeepsIt) {
    struct Case {
        const char* name;
        bool crashedBefore;  // the start skips
        std::vector<Event> events;
    };
    const Case cases[] = {
        {"landed", false,
         {{Step::FinishedClean, 2s, true}, {Step::Tick, 61s, true}, {Step::Tick, 62s, false}, {Step::End, 70s, false}}},
        {"exit before the minute", false, {{Step::FinishedClean, 2s, true}, {Step::Tick, 30s, true}, {Step::End, 31s, false}}},
        {"exit while putting back", false, {{Step::End, 1s, false}}},
        {"refused", false, {{Step::FinishedRefused, 2s, true}, {Step::Tick, 3600s, true}, {Step::End, 3601s, false}}},
        {"finished twice keeps the first word", false,
         {{Step::FinishedRefused, 2s, true}, {Step::FinishedClean, 3s, true}, {Step::Tick, 3600s, true}}},
        {"skipped", true,
         {{Step::FinishedClean, 2s, true}, {Step::Tick, 3600s, true}, {Step::End, 3601s, true}}},
        {"skipped, then the user applied", true,
         {{Step::UserChose, 10s, true}, {Step::Tick, 69s, true}, {Step::Tick, 70s, false}}},
        {"skipped, the user applied, exit at once", true, {{Step::UserChose, 10s, true}, {Step::End, 11s, false}}},
        {"a user's choice is no put-back's end", false, {{Step::UserChose, 2s, true}, {Step::Tick, 3600s, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::TempFolder temp("pyx-reapply-");
        const fs::path settings = temp.Path() / "Preformance.txt";
        Put(settings, "[Gpu1]\nDyaGpuClock=150\n");
        if (c.crashedBefore) {
            ASSERT_TRUE(ReapplyGuard(temp.Path()).Begin(settings, kT0 - 1h));
        }
        ReapplyGuard guard(temp.Path(), 60s);
        ASSERT_EQ(guard.Begin(settings, kT0), !c.crashedBefore);
        for (const Event& e : c.events) {
            const Clock::time_point now = kT0 + e.atS;
            switch (e.step) {
                case Step::FinishedClean: guard.Finished(false, now); break;
                case Step::FinishedRefused: guard.Finished(true, now); break;
                case Step::UserChose: guard.UserChose(now); break;
                case Step::Tick: guard.Tick(now); break;
                case Step::End: guard.End(); break;
            }
            EXPECT_EQ(fs::exists(guard.MarkerFile()), e.marker) << "step at " << e.atS.count() << " s";
        }
    }
}

// The start itself: the loader runs only when the guard lets it, the marker lies in the
// simulator's own settings folder, and the program's end takes it away unless the start skipped.
TEST(ReapplyGuard, TheStartSkipsTheLoaderAfterAnUnfinishedStartAndItsEndKeepsTheMarker) {
    const fs::path oldCwd = fs::current_path();
    const test::TempFolder temp("pyx-reapply-core-");
    const fs::path simulated = temp.Path() / "simulated";
    fs::create_directories(simulated);
    Put(simulated / "Preformance.txt", "[Gpu1]\nDyaGpuClock=150\n");
    auto machine = std::make_shared<FakeInstanceLock::Machine>();
    FakeMessageSink messages;
    FakeServiceControl services;
    const auto start = [&](int& loads) {
        auto core = std::make_unique<AppCore>(std::make_unique<sim::SimLibrarySource>(sim::SimScenario::Default()));
        FakeInstanceLock lock(machine, 1);
        AppPlatform platform{lock, messages, services, nullptr};
        EXPECT_EQ(core->Start(platform, temp.Path() / "pyxtune", "", nullptr,
                              [&loads](const fs::path&, GpuBoardTable&, AppState&) { ++loads; }),
                  StartupResult::RunMainWindow);
        return core;
    };
    int loads = 0;
    {
        auto crashed = start(loads);  // ends without End: as under SIGKILL
        EXPECT_EQ(crashed->Reapply().State(), ReapplyState::Applying);
        EXPECT_TRUE(fs::exists(simulated / kReapplyMarkerFileName));
    }
    EXPECT_EQ(loads, 1);
    for (int run = 0; run < 2; ++run) {  // the skip holds until the user chooses
        auto skipping = start(loads);
        EXPECT_TRUE(skipping->Reapply().Skipped());
        skipping->End();
        EXPECT_TRUE(ReapplyGuard::ReadMarker(simulated).skipped);
    }
    EXPECT_EQ(loads, 1);
    fs::remove(simulated / kReapplyMarkerFileName);
    auto clean = start(loads);
    EXPECT_EQ(loads, 2);
    clean->End();
    EXPECT_FALSE(fs::exists(simulated / kReapplyMarkerFileName));
    EXPECT_TRUE(messages.messages.empty());
    fs::current_path(oldCwd);
}

}  // namespace
}  // namespace pyx
