#include "ui/controls/CMPToolTip2.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>

#include <memory>

namespace {

// A main window with two registered controls; the desktop the tooltip sees is faked.
class ToolTipFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        main = std::make_unique<QWidget>();
        main->setGeometry(100, 100, 750, 810);
        close = new QWidget(main.get());
        close->setGeometry(701, 19, 32, 26);
        apply = new QWidget(main.get());
        apply->setGeometry(395, 773, 96, 30);
        main->show();
        tip = new CMPToolTip2(main.get());
        tip->SetPolling(false);
        CMPToolTip2::Environment env;
        env.now = [this] { return now; };
        env.cursorPos = [this] { return cursor; };
        env.widgetAt = [this](QPoint p) -> QWidget* {
            for (QWidget* w : {close, apply})
                if (w->isEnabled() && QRect(w->mapToGlobal(QPoint(0, 0)), w->size()).contains(p))
                    return w;
            return nullptr;
        };
        env.mouseButtonPressed = [this] { return buttonDown; };
        env.foregroundWindow = [this] { return front; };
        env.screenRect = [] { return QRect(0, 0, 1920, 1080); };
        env.cursorSize = QSize(32, 32);
        tip->SetEnvironment(env);
        front = main.get();
        tip->AddTool(close, QStringLiteral("Close the Window"));
        tip->AddTool(apply, QStringLiteral("Apply all settings to the graphics card.\nSettings are only "
                                           "effective when the apply button is pressed."));
    }

    void Tick(qint64 step = 300)
    {
        now += step;
        tip->OnTimer();
    }

    QPoint Over(QWidget* w, QPoint at = QPoint(5, 5)) const { return w->mapToGlobal(at); }

    std::unique_ptr<QWidget> main;
    QWidget* close = nullptr;
    QWidget* apply = nullptr;
    CMPToolTip2* tip = nullptr;
    qint64 now = 1000;
    QPoint cursor = QPoint(5, 5);
    bool buttonDown = false;
    QWidget* front = nullptr;
};

TEST_F(ToolTipFixture, ShowsAfterTheRestAtTheThirdTickBelowRightOfThePointer)
{
    cursor = Over(close);
    Tick(); // first sight
    EXPECT_EQ(tip->Current(), -1);
    Tick(); // 300 ms
    Tick(); // 600 ms
    EXPECT_EQ(tip->Current(), -1);
    EXPECT_FALSE(tip->isVisible());
    Tick(); // 900 ms
    EXPECT_EQ(tip->Current(), 0);
    EXPECT_TRUE(tip->isVisible());
    ASSERT_EQ(tip->Lines().size(), 1);

    const QFontMetrics fm(tip->font());
    const int width = fm.horizontalAdvance(QStringLiteral("Close the Window"));
    EXPECT_EQ(tip->ShownRect(), QRect(cursor.x() + 5, cursor.y() + 16 + 5, width + 10, fm.height() + 1));

    // Leaving the control hides it at the next tick.
    cursor = QPoint(5, 5);
    Tick();
    EXPECT_EQ(tip->Current(), -1);
    EXPECT_FALSE(tip->isVisible());
    EXPECT_EQ(tip->Tools()[0].hoverStart, 0);
}

TEST_F(ToolTipFixture, OpensLeftAndAboveNearTheScreenEdges)
{
    cursor = Over(apply);
    Tick();
    Tick(900);
    ASSERT_EQ(tip->Current(), 1);
    ASSERT_EQ(tip->Lines().size(), 2);
    const QFontMetrics fm(tip->font());
    const int h = fm.height();
    const int maxWidth = fm.horizontalAdvance(QStringLiteral(
        "Settings are only effective when the apply button is pressed."));
    const QPoint c = cursor;
    EXPECT_EQ(tip->ShownRect(), QRect(c.x() + 5, c.y() + 21, maxWidth + 10, 2 * h + 1));

    // The same placement with the screen shrunk around the pointer: left of it and above it.
    CMPToolTip2::Environment env;
    env.now = [this] { return now; };
    env.cursorPos = [this] { return cursor; };
    env.widgetAt = [this](QPoint) { return apply; };
    env.mouseButtonPressed = [] { return false; };
    env.screenRect = [c, maxWidth] { return QRect(0, 0, c.x() + 32 + maxWidth + 4, c.y() + 40); };
    tip->SetEnvironment(env);
    tip->Select(0);
    tip->Select(1);
    EXPECT_EQ(tip->ShownRect(), QRect(c.x() - maxWidth - 5, c.y() - 2 * h - 5, maxWidth + 10, 2 * h + 1));
}

TEST_F(ToolTipFixture, AnyMouseButtonHidesAndTheRestStartsAgain)
{
    cursor = Over(close);
    Tick();
    Tick(900);
    ASSERT_EQ(tip->Current(), 0);
    buttonDown = true;
    Tick();
    EXPECT_EQ(tip->Current(), -1);
    EXPECT_FALSE(tip->isVisible());
    buttonDown = false;
    Tick();
    EXPECT_EQ(tip->Current(), -1) << "the rest is measured anew";
    Tick(800);
    EXPECT_EQ(tip->Current(), 0);
}

TEST_F(ToolTipFixture, AShownTipGoesWhenThePollStops)
{
    cursor = Over(apply);
    Tick();
    Tick(900);
    ASSERT_TRUE(tip->isVisible());
    tip->SetPolling(false);  // the window hidden to the notification area
    EXPECT_FALSE(tip->isVisible());
    EXPECT_EQ(tip->Current(), -1);
}

TEST_F(ToolTipFixture, DisabledControlShowsOnlyWhileTheProgramIsInFront)
{
    close->setEnabled(false);
    cursor = Over(close);
    front = nullptr;
    Tick();
    Tick(900);
    EXPECT_EQ(tip->Current(), -1);
    front = main.get();
    Tick();
    Tick(900);
    EXPECT_EQ(tip->Current(), 0);
}

TEST_F(ToolTipFixture, LinesSplitAtLineFeedsOnly)
{
    tip->AddTool(main.get(), QStringLiteral("Extreme Mode\r\n     -Core OC (Margin we tested and kept for all cards)\r\n"));
    tip->Select(2);
    const auto& lines = tip->Lines();
    ASSERT_EQ(lines.size(), 2) << "the trailing line feed adds no empty line";
    EXPECT_EQ(lines[0].first, 0);
    EXPECT_EQ(lines[0].last, 12) << "the carriage return stays with its line";
    EXPECT_EQ(lines[1].first, 14);

    tip->AddTool(apply, QStringLiteral("\n\nA\n\nB"), 3, 3, 10, 10);
    tip->Select(3);
    ASSERT_EQ(tip->Lines().size(), 2);
    EXPECT_EQ(tip->Lines()[0].first, 2);
    EXPECT_EQ(tip->Lines()[1].first, 5);
}

TEST_F(ToolTipFixture, RegistersAControlOnceForTheWholeControl)
{
    tip->AddTool(close, QStringLiteral("again"));
    EXPECT_EQ(tip->Tools().size(), 2);
    tip->AddTool(close, QStringLiteral("area"), 4, 4, 10, 10);
    tip->AddTool(close, QStringLiteral("area again"), 4, 4, 20, 20);
    EXPECT_EQ(tip->Tools().size(), 3);
    tip->AddTool(close, QStringLiteral("another area"), 14, 4, 10, 10);
    EXPECT_EQ(tip->Tools().size(), 4);
}

TEST_F(ToolTipFixture, AreaToolNeedsThePointerStrictlyInside)
{
    auto* panel = new QWidget(main.get());
    panel->setGeometry(10, 100, 200, 100);
    panel->show();
    CMPToolTip2 areaTip(main.get());
    areaTip.SetPolling(false);
    CMPToolTip2::Environment env;
    env.now = [this] { return now; };
    env.cursorPos = [this] { return cursor; };
    env.widgetAt = [panel](QPoint) { return panel; };
    env.mouseButtonPressed = [] { return false; };
    areaTip.SetEnvironment(env);
    areaTip.AddTool(panel, QStringLiteral("part"), 20, 10, 30, 30);
    cursor = panel->mapToGlobal(QPoint(20, 20)); // on the area's left edge
    now += 300;
    areaTip.OnTimer();
    now += 900;
    areaTip.OnTimer();
    EXPECT_EQ(areaTip.Current(), -1);
    cursor = panel->mapToGlobal(QPoint(21, 20));
    now += 300;
    areaTip.OnTimer();
    now += 900;
    areaTip.OnTimer();
    EXPECT_EQ(areaTip.Current(), 0);
}

TEST_F(ToolTipFixture, ATouchedToolKeepsItsStartAndShowsAtOnceOnReturn)
{
    cursor = Over(close);
    Tick();
    cursor = QPoint(5, 5);
    Tick();
    EXPECT_EQ(tip->Current(), -1);
    Tick(5000);
    cursor = Over(close);
    Tick();
    EXPECT_EQ(tip->Current(), 0);
}

TEST_F(ToolTipFixture, NeverTakesTheFocus)
{
    EXPECT_EQ(tip->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(tip->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(tip->testAttribute(Qt::WA_ShowWithoutActivating));
}

} // namespace
