// Custom's fan curve on the main window: drawn in the editor its button opens, applied and run by
// the one-second timer, shown on the fan slider until something else takes the fan.

#include "MainWindowTestWorld.h"
#include "gpu/NvApiIds.h"
#include "ui/controls/CBitmapSlider.h"
#include "ui/controls/CFanCurvePlot.h"
#include "ui/controls/CMPButton.h"
#include "ui/controls/CSliderEvent.h"
#include "ui/dialogs/CFanCurveDlg.h"
#include "ui/main/MainWindowLayout.h"
#include "ui/main/MainWindowMonitor.h"
#include "ui/main/TrayIcon.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace pyx;

namespace {

// The scenario's fan takes 0..100 % through the library's cooler levels.
const char kScenario[] = "fan-type0-library.json";

void SetTemperature(MainWindowWorld& world, int temperatureC)
{
    sim::SimCard& card = world.simLib->Card(0);
    std::lock_guard lock(card.stateMutex);
    card.sensors.at(0).currentC = temperatureC;
}

bool FanAutomatic(MainWindowWorld& world)
{
    sim::SimCard& card = world.simLib->Card(0);
    std::lock_guard lock(card.stateMutex);
    return card.tuning.coolers.at(0).policy == sim::kSimCoolerPolicyAuto;
}

// Clicks the curve button and, once the editor shows, does `act` in it (which must end it).
// False when no editor opened.
bool InEditor(MainWindowWorld& world, const std::function<void(CFanCurveDlg&)>& act)
{
    bool opened = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<CFanCurveDlg*>(w); dialog != nullptr && dialog->isVisible()) {
                opened = true;
                act(*dialog);
                return;
            }
    });
    world.Click(kIdFanCurve);
    return opened;
}

void ClickOk(CFanCurveDlg& dialog) { QTest::mouseClick(dialog.OkButton(), Qt::LeftButton); }

const FanCurve& ShownCurve(MainWindowWorld& world) { return *world.window->Page().fanCurve; }

QString FanValueLabel(MainWindowWorld& world) { return world.window->Sliders().ValueLabelText(kLabelFan); }

bool ButtonLit(MainWindowWorld& world)
{
    return world.window->Controls().Button(kIdFanCurve)->ShownBitmapId() == kFanCurveLitImage;
}

// Custom, the editor's starting curve taken as it is, and an Apply kept.
void ApplyTheDefaultCurve(MainWindowWorld& world)
{
    ASSERT_TRUE(world.Open());
    world.Click(kIdCustom);
    ASSERT_TRUE(InEditor(world, ClickOk));
    ASSERT_TRUE(world.window->Page().fanCurve.has_value());
    world.Click(kIdApply);
    ASSERT_TRUE(world.core->State().fanCurves[0].has_value())
        << "Custom's Apply with a curve leaves the curve running for the GPU";
}

}  // namespace

TEST(MainWindowFanCurve, TheButtonShowsInCustomOnlyAndTheEditorStartsFromTheFansDefault)
{
    MainWindowWorld world(ScenarioText(kScenario));
    ASSERT_TRUE(world.Open());
    QWidget* button = world.window->Controls().Control(kIdFanCurve);
    ASSERT_NE(button, nullptr);
    world.Click(kIdExtreme);
    EXPECT_TRUE(button->isHidden());
    world.Click(kIdCustom);
    EXPECT_FALSE(button->isHidden());
    EXPECT_EQ(world.window->Controls().Button(kIdFanCurve)->Text(), QStringLiteral("曲线...")) << "as written, untranslated here";
    EXPECT_FALSE(ButtonLit(world));

    FanCurve started;
    ASSERT_TRUE(InEditor(world, [&](CFanCurveDlg& d) {
        started = d.Curve();
        d.CancelButton()->click();
    }));
    EXPECT_EQ(started, FanCurve::Default(FanUnit::Percent, FanLevelRange{0, 100}));
    EXPECT_FALSE(world.window->Page().fanCurve.has_value()) << "Cancel takes nothing";
    EXPECT_FALSE(ButtonLit(world));
}

TEST(MainWindowFanCurve, ACurveTakenAndAppliedRunsEverySecondAndTheEditorShowsIt)
{
    MainWindowWorld world(ScenarioText(kScenario));
    ASSERT_TRUE(world.Open());
    world.Click(kIdCustom);
    // The middle point (60 C, 50 %) dragged up by a tenth of the level axis.
    ASSERT_TRUE(InEditor(world, [](CFanCurveDlg& d) {
        CFanCurvePlot& plot = *d.Plot();
        const QPoint from = plot.PointPosition(2);
        const QPoint to = from - QPoint(0, (plot.Area().height() - 1) / 10);
        QTest::mousePress(&plot, Qt::LeftButton, {}, from);
        QTest::mouseMove(&plot, to);
        QTest::mouseRelease(&plot, Qt::LeftButton, {}, to);
        ClickOk(d);
    }));
    const std::vector<FanCurvePoint> drawn = {{40, 30}, {50, 35}, {60, 60}, {70, 75}, {80, 100}};
    ASSERT_TRUE(world.window->Page().fanCurve.has_value());
    EXPECT_EQ(ShownCurve(world).points, drawn);
    EXPECT_TRUE(ButtonLit(world));
    EXPECT_EQ(FanValueLabel(world), QStringLiteral("curve"));
    EXPECT_TRUE(world.core->State().fanCurves[0] == std::nullopt) << "nothing runs before Apply";

    world.Click(kIdApply);
    ASSERT_TRUE(world.core->State().fanCurves[0].has_value());
    EXPECT_EQ(world.core->State().fanCurves[0]->points, drawn);
    // The timer runs it: at 60 C the dragged point's level reaches the card.
    SetTemperature(world, 60);
    const size_t mark = world.Trace().size();
    world.window->Monitor().OnTimer();
    const std::vector<std::string> sent = world.Changes(mark, {"SetCoolerLevels"});
    EXPECT_THAT(sent, testing::AllOf(testing::Not(testing::IsEmpty()),
                                     testing::Each(testing::HasSubstr("SetCoolerLevels gpu=0 cooler=0 level=60 "))));
    const std::optional<FanCurveLive> live = world.core->Curves().Live(0);
    ASSERT_TRUE(live.has_value());
    EXPECT_EQ(live->level, 60);

    // Opened again, the editor holds the curve the page shows, and draws what the fan does.
    ASSERT_TRUE(InEditor(world, [&](CFanCurveDlg& d) {
        EXPECT_EQ(d.Curve(), ShownCurve(world));
        d.CancelButton()->click();
    }));
    EXPECT_EQ(ShownCurve(world).points, drawn);
}

TEST(MainWindowFanCurve, WhatTakesTheFanFromTheCurveTakesItOffThePage)
{
    struct Case {
        const char* what;
        std::function<void(MainWindowWorld&)> act;
        bool pageKeepsCurve;
        bool curveRuns;
    };
    const auto move = [](int id) {
        return [id](MainWindowWorld& w) {
            CSliderEvent moved(CSliderEvent::Moved, id, w.window->Controls().Slider(id)->GetPos());
            QCoreApplication::sendEvent(w.window.get(), &moved);
        };
    };
    const Case cases[] = {
        {"the fan slider moved", move(kIdFanSlider), false, true},
        {"the power slider moved", move(kIdPowerSlider), true, true},
        {"a preset mode chosen", [](MainWindowWorld& w) { w.Click(kIdPerformance); }, false, true},
        {"Reset", [](MainWindowWorld& w) { w.Click(kIdReset); }, false, false},
        {"an Apply without the curve",
         [&move](MainWindowWorld& w) {
             move(kIdFanSlider)(w);
             w.Click(kIdApply);
         },
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MainWindowWorld world(ScenarioText(kScenario));
        ApplyTheDefaultCurve(world);
        c.act(world);
        EXPECT_EQ(world.window->Page().fanCurve.has_value(), c.pageKeepsCurve);
        EXPECT_EQ(ButtonLit(world), c.pageKeepsCurve);
        EXPECT_EQ(FanValueLabel(world) == QStringLiteral("curve"), c.pageKeepsCurve) << FanValueLabel(world).toStdString();
        EXPECT_EQ(world.core->State().fanCurves[0].has_value(), c.curveRuns);
    }
}

// Told as a hand-back is, shown or hidden: the curve stops while nobody looks at the window too.
TEST(MainWindowFanCurve, ACurveThatStopsByItselfIsToldAndLeavesThePage)
{
    for (const bool trayHidden : {true, false}) {
        SCOPED_TRACE(trayHidden ? "tray, hidden" : "no tray, shown");
        MainWindowWorld world(ScenarioText(kScenario));
        world.trayAvailable = trayHidden;
        ApplyTheDefaultCurve(world);
        SetTemperature(world, 70);
        world.window->Monitor().OnTimer();
        ASSERT_FALSE(FanAutomatic(world)) << "the curve fixed the fan";
        if (trayHidden)
            world.Click(kIdHide);
        world.simLib->SetUnsupported(NvOpId(NvOp::GetThermalSettings));
        for (int tick = 0; tick < kTemperatureReadsBeforeHandBack; ++tick)
            world.window->Monitor().OnTimer();
        QStringList told = world.prompts.notices;
        if (!world.window->Tray().LastWarning().isEmpty())
            told << world.window->Tray().LastWarning();
        ASSERT_EQ(told.size(), 1) << told.join(u'\n').toStdString();
        EXPECT_TRUE(told[0].startsWith(QStringLiteral("GPU 0's temperature could not be read 3 times in a row, so its fan "
                                                      "curve stopped: the fan is back under the card's own control")))
            << told[0].toStdString();
        EXPECT_EQ(world.prompts.notices.isEmpty(), trayHidden) << "beside the tray icon where there is one";
        EXPECT_TRUE(FanAutomatic(world));
        EXPECT_FALSE(world.core->State().fanCurves[0].has_value());
        EXPECT_FALSE(world.window->Page().fanCurve.has_value()) << "an unchanged Apply would start it again";
        EXPECT_FALSE(ButtonLit(world));
        EXPECT_TRUE(world.prompts.warnings.isEmpty()) << "nothing that waits for an answer";
    }
}
