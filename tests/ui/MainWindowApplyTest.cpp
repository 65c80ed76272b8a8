// Apply in Custom mode as a user does it: sliders dragged, Apply pressed, the result read.
// The sliders must offer only what the card takes, and the result must say what it refused.

#include "MainWindowTestWorld.h"
#include "UiTestSupport.h"

#include "ui/controls/CBitmapSlider.h"
#include "ui/main/MainWindowLayout.h"

using namespace pyx;

namespace {

// Two cards tuned by their P-state offsets alone (no VF range); the second takes less.
const char* kTwoPlainCards = R"({"cards": [
  {"deviceId": "0x1E8710DE", "subSystemId": "0x37553842",
   "clocks": {"current": {"graphics": 1506000, "memory": 4006000}, "boost": {"graphics": 1708000}},
   "tuning": {"graphicsDelta": {"minKHz": -200000, "maxKHz": 200000}, "clockDomains": [], "vfPoints": []}},
  {"deviceId": "0x1E8710DE", "subSystemId": "0x37553842",
   "clocks": {"current": {"graphics": 1506000, "memory": 4006000}, "boost": {"graphics": 1708000}},
   "tuning": {"graphicsDelta": {"minKHz": -150000, "maxKHz": 150000}, "clockDomains": [], "vfPoints": []}}]})";

// The core slider Custom shows now: the graphics VF slider in the clock slider's place on a
// card with a VF range.
int ShownCoreSlider(CVornDlg& w)
{
    const bool clock = !w.Controls().Control(kIdGpuClockSlider)->isHidden();
    const bool vf = !w.Controls().Control(kIdGpuVfSlider)->isHidden();
    EXPECT_NE(clock, vf) << "exactly one core slider is shown";
    return vf ? kIdGpuVfSlider : kIdGpuClockSlider;
}

// The user's way to a value: the thumb dragged to its pixel, then the arrow keys a step at a
// time until the slider shows it or moves no further. Returns where the slider stopped.
int DragTo(MainWindowWorld& world, int id, int target)
{
    CBitmapSlider* s = world.window->Controls().Slider(id);
    const QPoint at(s->geometry().width() / 2, s->PixelOfPosition(target));
    SendMouse(s, QEvent::MouseButtonPress, at);
    SendMouse(s, QEvent::MouseButtonRelease, at);
    for (int step = 0; step < 3000 && s->GetPos() != target; ++step) {
        const int before = s->GetPos();
        SendKey(s, before < target ? Qt::Key_Up : Qt::Key_Down);
        if (s->GetPos() == before)
            break;
    }
    world.Settle();
    return s->GetPos();
}

// The tuning writes since mark that a card refused.
std::vector<std::string> RefusedTuningLines(const MainWindowWorld& world, size_t mark)
{
    std::vector<std::string> out;
    for (const std::string& l : world.Changes(mark, {"SetPstates20", "PowerPoliciesSetStatus", "ThermalPoliciesSetStatus",
                                                     "SetCoolerLevels", "FanCoolersSetControl", "ClkVfPointsSetControl"}))
        if (l.find(" status=0") == std::string::npos)
            out.push_back(l);
    return out;
}

} // namespace

// The default card's core slider was the graphics VF slider, -500..500 MHz, while the
// P-state offset it is sent as takes -200..200: dragged to 323 it was refused
// (SetPstates20 deltaKHz=323000 status=-5) and the window still said "Hardware settings applied!".
TEST(MainWindowApply, TheCoreSliderOffersOnlyWhatTheCardTakes)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    world.Click(kIdCustom);
    const int core = ShownCoreSlider(w);
    const int reached = DragTo(world, core, 323);
    const sim::SimClockDelta& graphics = world.simLib->Card(0).tuning.graphics;
    EXPECT_LE(reached * 1000, graphics.maxKHz) << "the slider offered a value the card refuses";
    EXPECT_EQ(reached, 200) << "but all the card takes";

    const size_t mark = world.Trace().size();
    world.Click(kIdApply);
    const std::vector<std::string> refused = RefusedTuningLines(world, mark);
    EXPECT_TRUE(refused.empty()) << refused.front();
    ASSERT_EQ(world.prompts.informations.size(), 1);
    EXPECT_EQ(world.prompts.informations[0], QStringLiteral("Hardware settings applied!"));
    EXPECT_EQ(graphics.deltaKHz, reached * 1000);
    EXPECT_EQ(w.Controls().Slider(core)->GetPos(), reached);
}

TEST(MainWindowApply, WhatACardRefusesIsNamedPerGpuAndTheSlidersShowWhatItHolds)
{
    MainWindowWorld world(kTwoPlainCards);
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    world.Click(kIdCustom);
    ASSERT_EQ(ShownCoreSlider(w), kIdGpuClockSlider);

    // Linked, GPU 0's +180 MHz goes to GPU 1 too, which takes at most +150.
    world.Click(kIdLink);
    ASSERT_EQ(DragTo(world, kIdGpuClockSlider, 180), 180);
    world.Click(kIdApply);
    EXPECT_TRUE(world.prompts.informations.isEmpty()) << "a refusal is not shown as a success";
    ASSERT_EQ(world.prompts.warnings.size(), 1);
    EXPECT_EQ(world.prompts.warnings[0],
              QStringLiteral("Not every setting was applied.\n\nGPU 1 refused:\n"
                             "  graphics clock offset 180 MHz: the card does not accept this value (status -5)\n\n"
                             "The other settings were applied."));
    EXPECT_EQ(world.simLib->Card(0).tuning.graphics.deltaKHz, 180000);
    EXPECT_EQ(w.Controls().Slider(kIdGpuClockSlider)->GetPos(), 180) << "GPU 0 shown, and it took the offset";

    // GPU 1 alone: its slider stops at its own limit. When the card then refuses anyway (it
    // no longer lets the offset or the power be changed), the sliders go back to what it holds.
    world.Click(kIdLink);
    world.Click(kIdNextGpu);
    ASSERT_EQ(w.Page().selectedGpu, 1);
    EXPECT_EQ(DragTo(world, kIdGpuClockSlider, 180), 150);
    ASSERT_EQ(DragTo(world, kIdGpuClockSlider, 100), 100);
    ASSERT_EQ(DragTo(world, kIdPowerSlider, 110), 110);
    sim::SimCard& card = world.simLib->Card(1);
    {
        std::lock_guard lock(card.stateMutex);
        card.tuning.graphics.editable = false;
        card.tuning.power.maxPcm = 105000;
    }
    const int32_t heldKHz = card.tuning.graphics.deltaKHz;
    world.Click(kIdApply);
    ASSERT_EQ(world.prompts.warnings.size(), 2);
    EXPECT_EQ(world.prompts.warnings[1],
              QStringLiteral("Not every setting was applied.\n\nGPU 1 refused:\n"
                             "  graphics clock offset 100 MHz: this card does not support it (status -104)\n"
                             "  power target 110 %: the card does not accept this value (status -5)\n\n"
                             "The other settings were applied."));
    EXPECT_EQ(w.Controls().Slider(kIdGpuClockSlider)->GetPos(), heldKHz / 1000);
    EXPECT_EQ(w.Controls().Slider(kIdPowerSlider)->GetPos(), 100) << "the power the card kept";
    EXPECT_EQ(w.Sliders().ValueLabelText(kLabelGpuClock), QString::asprintf("%4d", heldKHz / 1000));
}

// With a plain card and a VF card, the clock and VF sliders swap when the other card is picked
// in Custom mode; before, the choice was made only on the Custom click, and the hidden slider's
// value replaced what the user set on the second card.
TEST(MainWindowApply, PickingTheOtherKindOfCardInCustomSwapsClockAndVfSliders)
{
    MainWindowWorld world(ScenarioText("plain-and-vf-cards.json"));
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    world.Click(kIdCustom);
    EXPECT_EQ(ShownCoreSlider(w), kIdGpuClockSlider);
    EXPECT_FALSE(w.Controls().Control(kIdMemClockSlider)->isHidden());

    world.Click(kIdNextGpu);
    ASSERT_EQ(w.Page().selectedGpu, 1);
    const int core = ShownCoreSlider(w);
    EXPECT_EQ(core, kIdGpuVfSlider);
    EXPECT_FALSE(w.Controls().Control(kIdMemVfSlider)->isHidden());
    EXPECT_TRUE(w.Controls().Control(kIdMemClockSlider)->isHidden());
    EXPECT_EQ(DragTo(world, core, 120), 120);
    world.Click(kIdApply);
    ASSERT_EQ(world.prompts.informations.size(), 1);
    EXPECT_EQ(world.prompts.informations[0], QStringLiteral("Hardware settings applied!"));
    EXPECT_EQ(world.simLib->Card(1).tuning.graphics.deltaKHz, 120000) << "the value the user set";
    EXPECT_EQ(world.simLib->Card(0).tuning.graphics.deltaKHz, 0) << "GPU 0 was not selected";

    world.Click(kIdNextGpu);
    ASSERT_EQ(w.Page().selectedGpu, 0);
    EXPECT_EQ(ShownCoreSlider(w), kIdGpuClockSlider);
    // A preset covers them all, whichever card is picked.
    world.Click(kIdCommon);
    world.Click(kIdNextGpu);
    EXPECT_TRUE(w.Controls().Control(kIdGpuVfSlider)->isHidden());
    EXPECT_TRUE(w.Controls().Control(kIdGpuClockSlider)->isHidden());
}
