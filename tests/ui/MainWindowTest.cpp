// The main window on simulated cards: start-up, the refusals, hiding and the sliders.

#include "MainWindowTestWorld.h"
#include "UiTestSupport.h"

#include <chrono>
#include <thread>

#include <QComboBox>
#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QSlider>

#include "sim/SimLedBasicClass1.h"
#include "ui/controls/CBitmapSlider.h"
#include "ui/controls/CMPButton.h"
#include "ui/controls/CMPStatic.h"
#include "ui/controls/CHistoryPlot.h"
#include "ui/controls/CMPToolTip2.h"
#include "ui/dialogs/CHistoryDlg.h"
#include "ui/main/CAboutDlg.h"
#include "ui/main/MainWindowLayout.h"
#include "ui/main/MainWindowMonitor.h"
#include "ui/main/TrayIcon.h"

using namespace pyx;

namespace {

std::string WithBoost(const std::string& json, const char* from, const char* to)
{
    std::string s = json;
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos)
        s.replace(at, std::string(from).size(), to);
    return s;
}

} // namespace

TEST(MainWindow, StartsWithEveryControlInPlaceAndTheSimulatorMarked)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("PYXTUNE"));
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.size(), QSize(750, 810));
    EXPECT_EQ(w.property("BmpProp").value<QImage>().size(), QSize(750, 810));
    for (int id = kFirstControlId; id < kFirstControlId + kControlCount; ++id) {
        ASSERT_NE(w.Controls().Control(id), nullptr) << id;
        EXPECT_EQ(w.Controls().Control(id)->pos(), MainControl(id).rect.topLeft()) << id;
    }
    EXPECT_EQ(w.Controls().Control(kIdGpuClockSlider)->size(), QSize(57, 151));
    EXPECT_EQ(w.Controls().Label(kIdMemClockLabel)->size(), QSize(105, 40));
    ASSERT_NE(w.Controls().PlainChild(), nullptr);
    // The table's nine, and the fan curve button's beside the fan slider.
    EXPECT_EQ(w.Controls().ToolTip()->Tools().size(), 10);
    EXPECT_EQ(w.Controls().ToolTip()->Tools()[2].control, w.Controls().Control(kIdExtreme));
    ASSERT_NE(w.Controls().Control(kIdFanCurve), nullptr);
    EXPECT_EQ(w.Controls().Control(kIdFanCurve)->geometry(), kFanCurveButtonRect);
    EXPECT_EQ(w.Controls().ToolTip()->Tools()[9].control, w.Controls().Control(kIdFanCurve));
    // GPU buttons exist for the posted clicks only.
    for (int i = 0; i < kGpuButtonCount; ++i)
        EXPECT_TRUE(w.Controls().Control(kIdGpu0 + i)->isHidden());
    // One GPU: the link toggle is off and shows its disabled picture.
    EXPECT_FALSE(w.Controls().Control(kIdLink)->isEnabled());
    EXPECT_EQ(w.Controls().Button(kIdLink)->ShownBitmapId(), 195);
    EXPECT_EQ(w.Page().selectedGpu, 0);
    // No settings file yet: the Custom mode and the card's own values.
    EXPECT_EQ(w.Page().tuningMode, kTuningModeCustom);
    EXPECT_TRUE(w.Controls().Control(kIdOverlay)->isHidden());
    EXPECT_TRUE(w.Monitor().Timer().isActive());
    EXPECT_EQ(w.Monitor().Timer().interval(), 1000);
    EXPECT_TRUE(w.Tray().ToolTip().endsWith(QStringLiteral(" (simulated GPU)")));
    const TrayWindow& asTray = w;
    EXPECT_TRUE(asTray.IsSimulated());
}

TEST(MainWindow, TheTimerShowsTheSelectedCardsReadouts)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    world.window->Monitor().OnTimer();
    // The default card runs at 1506 MHz / 4006 MHz.
    EXPECT_EQ(world.window->Controls().Label(kIdGpuClockLabel)->Text(), QStringLiteral("1506"));
    EXPECT_EQ(world.window->Controls().Label(kIdMemClockLabel)->Text(), QStringLiteral("4006"));
    EXPECT_EQ(world.window->Controls().Label(kIdHiddenLabel)->Text(), QStringLiteral("0"));
    EXPECT_FALSE(world.window->Controls().Label(kIdTemperatureLabel)->Text().isEmpty());
}

TEST(MainWindow, SysTrayOnTheCommandLineHidesTheWindowAtStartAndSaves)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson(), "SysTray");
    ASSERT_EQ(world.core->commandLineMode, StartMode::SysTray);
    ASSERT_TRUE(world.Open());
    EXPECT_TRUE(world.window->isHidden());
    EXPECT_FALSE(world.window->Flags().mainWindowShown);
    EXPECT_TRUE(world.SettingsFileExists());

    // The tray's "Main Window" brings it back.
    world.window->Tray().OnMainWindow();
    EXPECT_TRUE(world.window->isVisible());
    EXPECT_TRUE(world.window->Flags().mainWindowShown);
}

TEST(MainWindow, WithoutANotificationAreaHidingMinimisesAndTheWindowMenuQuits)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson(), "SysTray");
    world.trayAvailable = false;
    ASSERT_TRUE(world.Open());
    // Nowhere to hide to: the start for the tray leaves the window on the task bar.
    EXPECT_TRUE(world.window->isVisible());
    EXPECT_TRUE(world.window->isMinimized());
    EXPECT_FALSE(world.window->Flags().mainWindowShown);
    EXPECT_TRUE(world.SettingsFileExists());

    world.window->showNormal();
    world.Settle();
    EXPECT_TRUE(world.window->Flags().mainWindowShown);

    world.Click(kIdHide);
    EXPECT_TRUE(world.window->isVisible());
    EXPECT_TRUE(world.window->isMinimized());

    QAction* quit = nullptr;
    for (QAction* a : world.window->WindowMenu()->actions())
        if (a->text() == QStringLiteral("Quit")) quit = a;
    ASSERT_NE(quit, nullptr);
    quit->trigger();
    EXPECT_EQ(world.quitCalls, 1);
}

TEST(MainWindow, OtherStartModesShowTheWindow)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson(), "systray ");
    ASSERT_TRUE(world.Open());
    EXPECT_TRUE(world.window->isVisible());
    EXPECT_TRUE(world.window->Flags().mainWindowShown);
}

TEST(MainWindow, ACardWithoutBoostClockIsRefusedAndTheProgramEnds)
{
    const std::string json = WithBoost(ScenarioText("minimal.json"), "\"graphics\": 1708000", "\"graphics\": 0");
    MainWindowWorld world(json);
    bool ended = false;
    QObject::connect(world.window.get(), &CVornDlg::endProgram, [&ended] { ended = true; });
    EXPECT_FALSE(world.Open());
    EXPECT_TRUE(ended);
    EXPECT_TRUE(world.window->Flags().quitRequested);
    ASSERT_EQ(world.prompts.errors.size(), 1);
    EXPECT_EQ(world.prompts.errors[0], QStringLiteral("PYXTUNE not support this vag card.(Boost clock is zero)"));
    EXPECT_FALSE(world.window->isVisible());
    EXPECT_FALSE(world.window->Monitor().Timer().isActive());
}

TEST(MainWindow, AFanType4CardHasADisabledFanSliderAndNoFanLabel)
{
    MainWindowWorld world(ScenarioText("fan-type4-fan-coolers.json"));
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    ASSERT_EQ(w.Page().tuningMode, kTuningModeCustom);
    EXPECT_FALSE(w.Controls().Slider(kIdFanSlider)->isEnabled());
    EXPECT_TRUE(w.Sliders().ValueLabelText(kLabelFan).isEmpty());
    EXPECT_FALSE(w.Sliders().ValueLabelText(kLabelPower).isEmpty());

    // A card with a fan chip shows both.
    MainWindowWorld chip(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(chip.Open());
    EXPECT_TRUE(chip.window->Controls().Slider(kIdFanSlider)->isEnabled());
    EXPECT_FALSE(chip.window->Sliders().ValueLabelText(kLabelFan).isEmpty());
}

TEST(MainWindow, ValueLabelsAreRightAlignedInFixedCells)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    w.Page().power.SetClamped(w.Page().power.max);
    EXPECT_EQ(w.Sliders().ValueLabelText(kLabelPower), QString::asprintf("%3d", w.Page().power.max));
    w.Controls().ColourTrackbar(1)->setValue(7);
    EXPECT_EQ(w.Sliders().ValueLabelText(kLabelGreen), QStringLiteral("  7"));
}

TEST(MainWindow, SlidersMovedByTheUserReachThePage)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    CBitmapSlider* power = w.Controls().Slider(kIdPowerSlider);
    ASSERT_TRUE(power->isEnabled());
    const int target = power->GetRangeMax();
    SendKey(power, Qt::Key_End);
    world.Settle();
    EXPECT_EQ(w.Page().power.pos, power->GetPos());
    EXPECT_EQ(power->GetPos(), target);
}

TEST(MainWindow, EscapeEnterAndTheCloseBoxNeverEndTheWindow)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    SendKey(&w, Qt::Key_Escape);
    SendKey(&w, Qt::Key_Return);
    w.reject();
    w.accept();
    world.Settle();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.result(), 0);
    // The close box hides to the tray (and saves, as the hide button does).
    w.close();
    world.Settle();
    EXPECT_TRUE(w.isHidden());
    EXPECT_TRUE(world.SettingsFileExists());
}

// The face moves the window as a title bar would, but only once the pointer has really moved:
// a click there leaves the window where it is.
TEST(MainWindow, AClickOnTheFaceLeavesTheWindowWhereItIsAndADragMovesIt)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    w.move(100, 80);
    const QPoint start = w.pos();
    const QPoint face(40, 200);  // the skin, between the controls
    ASSERT_EQ(w.childAt(face), nullptr);
    const QPoint grab = w.mapToGlobal(face);
    auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(w.mapFromGlobal(global)), QPointF(global),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &e);
    };

    send(QEvent::MouseButtonPress, grab, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grab, Qt::NoButton);
    EXPECT_EQ(w.pos(), start) << "a click";
    send(QEvent::MouseButtonPress, grab, Qt::LeftButton);
    send(QEvent::MouseMove, grab + QPoint(1, 1), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grab + QPoint(1, 1), Qt::NoButton);
    EXPECT_EQ(w.pos(), start) << "a hand's tremble under the drag distance is still a click";

    send(QEvent::MouseButtonPress, grab, Qt::LeftButton);
    send(QEvent::MouseMove, grab + QPoint(30, 20), Qt::LeftButton);
    EXPECT_EQ(w.pos(), start + QPoint(30, 20));
    send(QEvent::MouseMove, grab + QPoint(45, 25), Qt::LeftButton);
    EXPECT_EQ(w.pos(), start + QPoint(45, 25)) << "the window follows the pointer from where it was grabbed";
    send(QEvent::MouseButtonRelease, grab + QPoint(45, 25), Qt::NoButton);
    send(QEvent::MouseMove, grab + QPoint(90, 90), Qt::NoButton);
    EXPECT_EQ(w.pos(), start + QPoint(45, 25)) << "the pointer moved without a button moves nothing";
}

TEST(MainWindow, TrayMenuQuitEndsWithoutSavingAndLeftClickShowsTheWindow)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    TrayIcon& tray = world.window->Tray();
    ASSERT_NE(tray.Menu(), nullptr);
    const QList<QAction*> items = tray.Menu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Main Window"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("Monitor"));
    EXPECT_EQ(items[2]->text(), QStringLiteral("Quit"));

    world.window->hide();
    tray.OnActivated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(world.window->isVisible());

    tray.QuitAction()->trigger();
    EXPECT_EQ(world.quitCalls, 1);
    EXPECT_FALSE(world.SettingsFileExists());
}

TEST(MainWindow, TheWindowMenuOffersTheAboutBox)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    const QList<QAction*> items = world.window->WindowMenu()->actions();
    // The About item in a group of its own, after the window's own commands; "Quit" last.
    ASSERT_GE(items.size(), 5);
    EXPECT_EQ(items[items.size() - 3]->text(), QString::fromUtf8("关于 Vorn(&A)..."));
    EXPECT_TRUE(items[items.size() - 4]->isSeparator());
    EXPECT_TRUE(items[items.size() - 2]->isSeparator());
    EXPECT_EQ(items.last()->text(), QStringLiteral("Quit"));
    CAboutDlg about(QPixmap(16, 16));
    EXPECT_EQ(about.NameText(), QStringLiteral("Pyxtune"));
    EXPECT_TRUE(about.VersionText().contains(QStringLiteral("2.0.0.2")));
}

// The window keeps each GPU's history while it runs, shown or hidden, and the Monitor view,
// from the tray or the window's menu, draws it for the GPU the window shows.
TEST(MainWindow, TheMonitorViewDrawsTheHistoryTheWindowKeeps)
{
    MainWindowWorld world(ScenarioText("two-cards.json"));
    ASSERT_TRUE(world.Open());
    world.window->hide();
    for (int tick = 0; tick < 3; ++tick) world.window->Monitor().OnTimer();
    const std::vector<HistorySample> kept = world.core->History().Since(0, 1);
    ASSERT_EQ(kept.size(), 3u);
    ASSERT_TRUE(kept.back().temperatureC);
    world.window->Tray().MonitorAction()->trigger();
    auto* view = world.window->findChild<CHistoryDlg*>();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(view->Following());
    view->SelectGpu(1);
    EXPECT_TRUE(view->Plot()->HeaderText(CHistoryPlot::Series::Temperature)
                    .contains(QString::number(*kept.back().temperatureC) + QStringLiteral(" C")));
    view->close();
    EXPECT_FALSE(view->Following());
    // Opened again from the window's menu, it is the same view, not a second one.
    for (QAction* item : world.window->WindowMenu()->actions())
        if (item->text() == QStringLiteral("Monitor...")) item->trigger();
    EXPECT_EQ(world.window->findChildren<CHistoryDlg*>().size(), 1);
    EXPECT_TRUE(view->isVisible());
}

TEST(MainWindow, TheSessionsEndPutsTheLightsOut)
{
    MainWindowWorld world(ScenarioText("led-effect.json"));
    ASSERT_TRUE(world.Open());
    EXPECT_FALSE(world.engine->SessionEnding());
    world.window->OnSessionEnd();
    EXPECT_TRUE(world.engine->SessionEnding());
}

TEST(MainWindow, TheSessionsEndReachesABasicControllerNoEffectDrove)
{
    MainWindowWorld world(ScenarioText("led-basic-class1.json"));
    ASSERT_TRUE(world.Open());
    ASSERT_FALSE(world.engine->Running(pyx::LedEffectFamily::Basic)) << "nothing lit it in this run";
    auto* controller = world.simLib->Card(0).bus.DeviceAs<pyx::sim::SimLedBasicClass1>(0x40);
    ASSERT_NE(controller, nullptr);
    world.window->OnSessionEnd();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (controller->Shown().level != 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const pyx::sim::SimLedShown shown = controller->Shown();
    EXPECT_EQ(shown.level, 0);
    EXPECT_EQ(shown.r + shown.g + shown.b, 0);
}

TEST(MainWindow, ValueDigitsSitInThirteenPixelCellsFromTheRight)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    w.Page().fan = TuningSlider{85, 0, 100, true};
    ASSERT_EQ(w.Sliders().ValueLabelText(kLabelFan), QStringLiteral("  85"));
    QImage canvas(750, 810, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter p(&canvas);
        w.Sliders().DrawValueLabels(kLabelFan, false, &p);
    }
    // The label's cells: 352..364 holds "5", 339..351 holds "8", the blanks left of them.
    auto inked = [&canvas](int left, int right) {
        int n = 0;
        for (int x = left; x <= right; ++x)
            for (int y = 342; y < 390; ++y)
                n += qRed(canvas.pixel(x, y)) > 128 ? 1 : 0;
        return n;
    };
    EXPECT_GT(inked(352, 364), 0);
    EXPECT_GT(inked(339, 351), 0);
    EXPECT_EQ(inked(300, 338), 0);
    EXPECT_EQ(inked(365, 380), 0);
}
