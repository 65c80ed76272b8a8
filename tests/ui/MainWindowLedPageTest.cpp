// The lighting page and the GPU caption as a user sees them.

#include "MainWindowTestWorld.h"

#include <QLabel>
#include <QSlider>

#include "led/LedColour.h"
#include "ui/controls/CMPButton.h"
#include "ui/main/MainWindowLayout.h"

using namespace pyx;

namespace {

std::string Rgb(int r, int g, int b) { return std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b); }

// The R/G/B fields' sliders, then the preview square as the window paints it.
std::string Shown(CVornDlg& w)
{
    const QRgb p = w.grab(CMPButton::kSwatchRect).toImage().pixel(5, 5);
    auto bar = [&w](int k) { return w.Controls().ColourTrackbar(k)->value(); };
    return Rgb(bar(0), bar(1), bar(2)) + " " + Rgb(qRed(p), qGreen(p), qBlue(p));
}

std::string Card(bool lit)
{
    return test::CardJson(0x1B81, 0x11223344, lit ? R"([{"address": "0xAC", "model": "led-effect"}])" : "[]",
                          R"("clocks": {"boost": {"graphics": 1683000, "memory": 4006000}})");
}

// The simulated cards, told by name or, as through the drivers' libraries, not.
class SimSource : public sim::SimLibrarySource
{
public:
    SimSource(std::unique_ptr<sim::SimLibrary> lib, bool named) : SimLibrarySource(std::move(lib)), named_(named) {}
    std::optional<std::string> CardName(void* h) const override { return named_ ? SimLibrarySource::CardName(h) : std::nullopt; }

private:
    bool named_;
};

} // namespace

// A swatch shows its colour on the fields and the preview at once; a slider the user moves
// after it makes the colour the sliders' again, so Apply always sends what the page shows.
TEST(MainWindowLedPage, TheChosenColourIsTheOneShownAndTheOneApplied)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    const LedSettings& saved = world.core->State().ledSettings;
    for (int k = 0; k < kSwatchCount; ++k) {
        const LedColour c = kLedPalette[static_cast<size_t>(k)];
        world.Click(kIdSwatch1 + k);
        EXPECT_EQ(Shown(w), Rgb(c.r, c.g, c.b) + " " + Rgb(c.r, c.g, c.b)) << k;
    }
    world.Click(kIdApply);
    EXPECT_EQ(Rgb(saved.red, saved.green, saved.blue), "128,0,128");
    w.Controls().ColourTrackbar(1)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    world.Settle();
    EXPECT_EQ(Shown(w), "128,10,128 128,10,128");
    EXPECT_EQ(w.Controls().Button(kIdSwatch1 + 7)->ShownBitmapId(), MainControl(kIdSwatch1 + 7).normalId);
    world.Click(kIdApply);
    EXPECT_EQ(Rgb(saved.red, saved.green, saved.blue), "128,10,128");
}

// The page of a card without a lighting controller is off and says why; a card with one,
// chosen before or after it, has the page back.
TEST(MainWindowLedPage, ACardWithoutLightingHasItsPageOffAndSaysSo)
{
    using Steps = std::vector<std::pair<int, bool>>;  // GPU chosen, whether it has lighting
    const std::pair<std::string, Steps> cases[] = {
        {ScenarioText("minimal.json"), {{0, false}}},
        {test::ScenarioJson({Card(false), Card(true)}), {{0, false}, {1, true}, {0, false}}},
        {test::ScenarioJson({Card(true), Card(false)}), {{0, true}, {1, false}, {0, true}}}};
    for (const auto& [json, steps] : cases) {
        MainWindowWorld world(json);
        ASSERT_TRUE(world.Open());
        CVornDlg& w = *world.window;
        for (const auto& [gpu, lit] : steps) {
            world.Click(kIdGpu0 + gpu);
            for (int id : {int{kIdPicker}, kIdSwatch1 + 4, int{kIdBasicStatic}, int{kIdRedTrackbar}, int{kIdTimer1Combo}})
                EXPECT_EQ(w.Controls().Control(id)->isEnabled(), lit) << id << ", GPU " << gpu;
            const QLabel* notice = w.findChild<QLabel*>(QStringLiteral("noLightingNotice"));
            ASSERT_NE(notice, nullptr);
            EXPECT_EQ(notice->isVisible(), !lit) << "GPU " << gpu;
            EXPECT_EQ(notice->text(), QStringLiteral("This card has no lighting controller."));
        }
    }
}

// The caption names the GPU shown and its place among the cards, at start and after each
// press of the next-GPU button; the card's name too where the library tells it.
TEST(MainWindowLedPage, TheCaptionSaysWhichGpuIsShown)
{
    struct Case { std::string json; bool named; std::vector<const char*> shown; };
    const Case cases[] = {
        {sim::SimScenario::DefaultJson(), true, {"GPU 1 of 1: Simulated GeForce GTX 1070", "GPU 1 of 1: Simulated GeForce GTX 1070"}},
        {ScenarioText("two-cards.json"), true,
         {"GPU 1 of 2: Simulated GeForce GTX 1070 #1", "GPU 2 of 2: Simulated GeForce GTX 1070 #2", "GPU 1 of 2: Simulated GeForce GTX 1070 #1"}},
        {ScenarioText("two-cards.json"), false, {"GPU 1 of 2", "GPU 2 of 2"}}};
    for (const Case& c : cases) {
        MainWindowWorld world(std::make_unique<SimSource>(test::LoadScenario(c.json), c.named));
        ASSERT_TRUE(world.Open());
        for (size_t presses = 0; presses < c.shown.size(); ++presses) {
            if (presses > 0)
                world.Click(kIdNextGpu);
            const QLabel* caption = world.window->findChild<QLabel*>(QStringLiteral("gpuCaption"));
            ASSERT_NE(caption, nullptr);
            EXPECT_TRUE(caption->isVisible());
            EXPECT_EQ(caption->text().toStdString(), c.shown[presses]) << presses << " presses";
        }
    }
}
