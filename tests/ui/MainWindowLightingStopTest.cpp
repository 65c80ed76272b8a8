// Lighting effects that one thread keeps in step across cards, stopped by the window: each card
// the thread drove is left as the page now asks, never frozen on the last frame.

#include "MainWindowTestWorld.h"

#include <chrono>
#include <thread>

#include "ui/main/MainWindowLayout.h"

using namespace pyx;
using namespace std::chrono_literals;

namespace {

// The last colour block (register 0x02) written to the zone controller 0x58 of gpu after mark.
std::string LastZoneBlock(const MainWindowWorld& world, size_t mark, int gpu)
{
    std::string last;
    for (const std::string& line : world.Changes(mark, {"I2CWrite"}))
        if (line.find(" gpu=" + std::to_string(gpu) + " ") != std::string::npos &&
            line.find("addr=0x58 reg=0x02 ") != std::string::npos)
            last = line;
    return last;
}

bool WaitFor(const std::function<bool()>& done)
{
    for (auto until = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < until;
         std::this_thread::sleep_for(10ms))
        if (done())
            return true;
    return done();
}

} // namespace

TEST(MainWindowLighting, StoppingBreathingInStepLeavesEveryCardAsThePageAsks)
{
    struct Case { const char* what; bool reset; const char* block; uint32_t zoneMode; };
    // Reset shows red (its burst); "All off" darkens the colour block first.
    for (const Case c : {Case{"reset", true, "data=ff00000005 ", 1}, Case{"all off", false, "data=00 ", 5}}) {
        SCOPED_TRACE(c.what);
        MainWindowWorld world(ScenarioText("led-two-cards.json"));
        ASSERT_TRUE(world.Open());
        world.Click(kIdTarget1 + 1);   // GPU 0's zone controller 0x58
        world.Click(kIdZoneMode1 + 3); // single-colour breathing
        world.Click(kIdCommon);
        world.Click(kIdApply);
        ASSERT_TRUE(world.engine->Running(LedEffectFamily::ZoneSync)) << "both cards breathe in step";
        const size_t started = world.Trace().size();
        ASSERT_TRUE(WaitFor([&] { return !LastZoneBlock(world, started, 1).empty(); }));

        if (c.reset) {
            world.Click(kIdReset);
        } else {
            world.Click(kIdZoneMode1 + 4);
            world.Click(kIdApply);
        }
        EXPECT_FALSE(world.engine->Running(LedEffectFamily::ZoneSync));
        ASSERT_TRUE(WaitFor([&] { return world.engine->LiveThreadCount() == 0; }));
        const size_t stopped = world.Trace().size();
        std::this_thread::sleep_for(100ms);
        EXPECT_TRUE(LastZoneBlock(world, stopped, 0).empty() && LastZoneBlock(world, stopped, 1).empty())
            << "frames after the stop";
        for (int gpu : {0, 1})
            EXPECT_NE(LastZoneBlock(world, started, gpu).find(c.block), std::string::npos)
                << "GPU " << gpu << ": " << LastZoneBlock(world, started, gpu);
        EXPECT_EQ(world.window->LedPage().gm1Mode, c.zoneMode);
    }
}
