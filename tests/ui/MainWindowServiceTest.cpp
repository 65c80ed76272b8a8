// The window where the service owns the cards: its changes go there, and what the user answers
// to the keep question decides what the service keeps; what it shows of the cards is read there.

#include "MainWindowTestWorld.h"

#include <unistd.h>

#include <fstream>

#include "app/MonitorReadouts.h"
#include "app/ServiceChanges.h"
#include "app/ServiceClient.h"
#include "app/ServiceReads.h"
#include "tests/cli/ProgramProcess.h"
#include "ui/controls/CMPStatic.h"
#include "ui/main/MainWindowCommands.h"
#include "ui/main/MainWindowLayout.h"
#include "ui/main/MainWindowMonitor.h"

using namespace pyx;
namespace fs = std::filesystem;
using proctest::EnvChange;
using proctest::ProgramProcess;

namespace {

// pyxtuned on simulated cards at a socket of the test's own.
class OwnerProcess {
public:
    OwnerProcess() { Restart(); }
    // Ended (killed) and started again at the same socket, over the same cards.
    void Restart()
    {
        process_.reset();
        process_ = std::make_unique<ProgramProcess>(
            PYX_PYXTUNED,
            std::vector<std::string>{"--socket", Socket(), "--group", "nogroup", "--settings",
                                     (dir_.Path() / "settings").string(), "--no-history"},
            std::vector<EnvChange>{{"PYXTUNE_GPU_BACKEND", "sim"},
                                   {"PYXTUNE_SIM_SCENARIO", std::nullopt},
                                   {"PYXTUNE_SIM_STATE", (dir_.Path() / "cards.json").string()},
                                   {"PYXTUNE_SERVICE", "off"},
                                   {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (dir_.Path() / "no-bus").string()}},
            dir_.Path() / ("pyxtuned" + std::to_string(++starts_)));
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (process_->Err().find("; listening on ") == std::string::npos && process_->Running() &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // A client of the service once it serves; null after the time allowed.
    std::unique_ptr<ServiceClient> Client()
    {
        std::string why;
        auto channel = ConnectToService(Socket(), why);
        EXPECT_NE(channel, nullptr) << why << process_->Err();
        if (!channel)
            return nullptr;
        auto client = ServiceClient::Greet(std::move(channel), Socket(), "window", "test", why);
        EXPECT_NE(client, nullptr) << why;
        return client;
    }
    // What the service's cards hold, as a profile save would write it.
    std::string Held()
    {
        auto client = Client();
        ServiceRequest read;
        read.kind = RequestKind::ProfileRead;
        std::string why;
        const auto answer = client ? client->Ask(read, why) : std::nullopt;
        return answer ? answer->dump() : why;
    }

private:
    std::string Socket() const { return (dir_.Path() / "pyxtuned.sock").string(); }

    test::TempFolder dir_{"pyx-owner-"};
    std::unique_ptr<ProgramProcess> process_;
    int starts_ = 0;
};

} // namespace

// Apply, a profile's load, Keep or not, and Reset each reach the service's cards and never the
// window's own.
TEST(MainWindowService, ChangesGoToTheServiceAndStayOnlyWhenKept)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the service lets root tune (or its group, which the test cannot join)";
    const struct {
        const char* name;
        const char* profile; // loaded instead of Extreme's Apply
        KeepAnswer answer;
        bool restart;        // the service restarted before the change (an upgrade, say)
        bool reset;          // Reset pressed after the answer
        const char* said;    // in the keep box
        const char* held;    // the tuning the service's cards hold at the end
        const char* lit;     // and their effect controller's mode: the lighting is not the keep question's
    } cases[] = {
        {"kept", nullptr, KeepAnswer::Keep, false, false, kAppliedText, "DyaGpuClock=84", "GM2MODE=3"},
        {"not kept", nullptr, KeepAnswer::Revert, true, false, kAppliedText, "DyaGpuClock=0", "GM2MODE=3"},
        {"kept, then reset", nullptr, KeepAnswer::Keep, false, true, kAppliedText, "DyaGpuClock=0", "GM2MODE=9"},
        {"a profile kept", "[Gpu1]\nId=1b81\nDyaGpuClock=50\nPowerTarget=100\n", KeepAnswer::Keep, true, false, "The profile was loaded.",
         "DyaGpuClock=50", "GM2MODE=0"},
        {"a profile not kept", "[Gpu1]\nId=1b81\nDyaGpuClock=50\nPowerTarget=100\n", KeepAnswer::Revert, false, false,
         "The profile was loaded.", "DyaGpuClock=0", "GM2MODE=0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OwnerProcess owner;
        MainWindowWorld world(sim::SimScenario::DefaultJson(), owner.Client());
        ASSERT_NE(world.core->Service(), nullptr);
        ASSERT_TRUE(world.Open());
        const size_t mark = world.Trace().size();
        world.prompts.keepAnswer = c.answer;
        if (c.restart)
            owner.Restart();
        if (c.profile != nullptr) {
            const fs::path file = world.folder / "profile.txt";
            std::ofstream(file) << c.profile;
            world.window->Commands().LoadProfileThroughService(file);
        } else {
            world.Click(kIdEffectMode1 + 2);
            world.Click(kIdExtreme);
            world.Click(kIdApply);
        }
        world.Settle();
        EXPECT_EQ(world.prompts.questions.size(), 1) << "the overclocking warning is asked in the window";
        EXPECT_EQ(world.prompts.keepSeconds.size(), 1) << "and so is the keep question";
        // The keep box shows what the change said, and nothing else is said all along.
        const QStringList said = world.prompts.informations + world.prompts.warnings;
        EXPECT_EQ(said.join("\n").toStdString(), c.said);
        if (c.reset)
            world.Click(kIdReset);
        const std::string held = owner.Held();
        EXPECT_NE(held.find(c.held), std::string::npos) << held;
        EXPECT_NE(held.find(c.lit), std::string::npos) << "the lighting half goes to the service too: " << held;
        EXPECT_EQ(world.Changes(mark), std::vector<std::string>()) << "the window wrote to cards the service owns";
        EXPECT_EQ((world.prompts.informations + world.prompts.warnings).size(), said.size());
    }
}

// The window shows the cards the service holds, not its own view of them: the readouts and the
// fan slider read there (the fan's chip may be out of the window's reach).
TEST(MainWindowService, TheWindowShowsTheCardsAsTheServiceReadsThem)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the service lets root tune (or its group, which the test cannot join)";
    OwnerProcess owner;
    auto tuner = owner.Client();
    ASSERT_NE(tuner, nullptr);
    TuningPage page;
    page.selectedGpu = 0;
    page.tuningMode = kTuningModeCustom;
    page.gpuClock = {60, -200, 200};
    page.power = {100, 50, 120};
    page.fan = {70, 0, 100};
    ServiceChanges changes(*tuner);
    ASSERT_TRUE(changes.Apply(page, 20).done);
    ASSERT_EQ(changes.Keep(page), "");
    const MonitorReadings held = ServiceReads(*tuner).Readings(0);
    ASSERT_TRUE(held.read);

    MainWindowWorld world(sim::SimScenario::DefaultJson(), owner.Client());
    ASSERT_TRUE(world.Open());
    world.window->Monitor().ReadMonitors();
    const auto label = [&](int id) { return world.window->Controls().Label(id)->Text().toStdString(); };
    EXPECT_EQ(label(kIdGpuClockLabel), held.graphicsText);
    EXPECT_EQ(label(kIdFanLabel), held.fanText);
    EXPECT_EQ(world.window->Page().fan.pos, 70);
    EXPECT_NE(ReadMonitors(world.core->Boards(), 0).graphicsText, held.graphicsText) << "the window's own cards differ";
}
