// The fan curve editor driven as a user drives it: points dragged with the mouse and typed into
// the table, added and removed, and OK taking only a curve the fan can run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <vector>

#include "ui/controls/CFanCurvePlot.h"
#include "ui/dialogs/CFanCurveDlg.h"

using namespace pyx;

namespace {

const std::vector<FanCurvePoint> kFivePoints = {{40, 30}, {50, 35}, {60, 50}, {70, 75}, {80, 100}};

// The editor over a fan of 0..100 %, every refusal recorded instead of shown.
struct Editor {
    explicit Editor(std::vector<FanCurvePoint> points = kFivePoints, FanLevelRange levels = {0, 100},
                    FanUnit unit = FanUnit::Percent)
        : dialog(FanCurveDlgContext{FanCurve{std::move(points), false}, unit, levels, {},
                                    [this](QWidget*, const QString& text) { refusals << text; }})
    {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QApplication::processEvents();
    }

    QStringList refusals;
    CFanCurveDlg dialog;
};

// The table's row as the user reads it.
FanCurvePoint Row(const QTableWidget& table, int row)
{
    return {table.item(row, 0)->data(Qt::EditRole).toInt(), table.item(row, 1)->data(Qt::EditRole).toInt()};
}

// Types value into a cell as a user does: the cell's editor opened, its text replaced, Return.
void Type(QTableWidget& table, int row, int column, const QString& value)
{
    table.setFocus();
    table.setCurrentCell(row, column);
    table.editItem(table.item(row, column));
    QApplication::processEvents();
    auto* editor = qobject_cast<QSpinBox*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr) << "a number cell is edited in a spin box";
    editor->selectAll();
    QTest::keyClicks(editor, value);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
}

}  // namespace

TEST(DialogFanCurve, ADraggedPointFollowsThePointerWithinItsNeighboursAndTheAxes)
{
    struct Case {
        const char* what;
        int point;
        int degrees;  // the pointer's travel, in the plot's units
        int percent;
        FanCurvePoint expected;
    };
    const Case cases[] = {
        {"right and up", 2, 4, 10, {64, 60}},
        {"left and down", 2, -6, -20, {54, 30}},
        {"past the next point", 2, 30, 0, {69, 50}},
        {"past the point before", 2, -30, 0, {51, 50}},
        {"above the fan's highest level", 2, 0, 80, {60, 100}},
        {"below nothing", 2, 0, -70, {60, 0}},
        {"the first point off the plot's left edge", 0, -40, 0, {20, 30}},
        {"the last point off the plot's right edge", 4, 40, 0, {100, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Editor editor;
        CFanCurvePlot& plot = *editor.dialog.Plot();
        // The plot spans 20..100 C and 0..100 % over its area: pixels per unit, whole.
        const QRect area = plot.Area();
        ASSERT_EQ(plot.FirstShownC(), 20);
        ASSERT_EQ(plot.LastShownC(), 100);
        ASSERT_EQ((area.width() - 1) % 80, 0) << area.width();
        ASSERT_EQ((area.height() - 1) % 100, 0) << area.height();
        const int pxPerDegree = (area.width() - 1) / 80;
        const int pxPerPercent = (area.height() - 1) / 100;
        // Taken a little off its centre: the point moves with the pointer, it does not jump to it.
        const QPoint from = plot.PointPosition(c.point) + QPoint(3, -2);
        const QPoint to = from + QPoint(c.degrees * pxPerDegree, -c.percent * pxPerPercent);
        QTest::mousePress(&plot, Qt::LeftButton, {}, from);
        QTest::mouseMove(&plot, from + (to - from) / 2);
        QTest::mouseMove(&plot, to);
        QTest::mouseRelease(&plot, Qt::LeftButton, {}, to);

        std::vector<FanCurvePoint> expected = kFivePoints;
        expected[static_cast<size_t>(c.point)] = c.expected;
        EXPECT_EQ(editor.dialog.Curve().points, expected);
        EXPECT_EQ(Row(*editor.dialog.Table(), c.point), c.expected) << "the table shows the dragged point";
        EXPECT_EQ(editor.dialog.Table()->currentRow(), c.point);
    }
}

TEST(DialogFanCurve, APressAwayFromEveryPointMovesNothing)
{
    Editor editor;
    CFanCurvePlot& plot = *editor.dialog.Plot();
    const QPoint from = plot.PointPosition(2) + QPoint(CFanCurvePlot::kGrabPx + 3, 0);
    QTest::mousePress(&plot, Qt::LeftButton, {}, from);
    QTest::mouseMove(&plot, from + QPoint(0, -40));
    QTest::mouseRelease(&plot, Qt::LeftButton, {}, from + QPoint(0, -40));
    EXPECT_EQ(editor.dialog.Curve().points, kFivePoints);
}

TEST(DialogFanCurve, TypedValuesReachTheCurveAndOkRefusesWhatTheFanCannotRun)
{
    struct Edit {
        int row, column;
        const char* typed;
    };
    struct Case {
        const char* what;
        std::vector<Edit> edits;
        std::vector<FanCurvePoint> points;  // after the edits
        const char* refusal;                // what OK says; null: taken
    };
    const Case cases[] = {
        {"a temperature", {{1, 0, "55"}}, {{40, 30}, {55, 35}, {60, 50}, {70, 75}, {80, 100}}, nullptr},
        {"a level", {{3, 1, "80"}}, {{40, 30}, {50, 35}, {60, 50}, {70, 80}, {80, 100}}, nullptr},
        {"a fan that slows down as the GPU heats up", {{3, 1, "40"}},
         {{40, 30}, {50, 35}, {60, 50}, {70, 40}, {80, 100}}, "the fan must not slow down as the GPU heats up (70:40"},
        {"temperatures out of order", {{2, 0, "45"}}, {{40, 30}, {50, 35}, {45, 50}, {70, 75}, {80, 100}},
         "the temperatures must rise from point to point (45:50 comes after 50 C)"},
        {"above the fan's highest level", {{4, 1, "120"}}, {{40, 30}, {50, 35}, {60, 50}, {70, 75}, {80, 120}},
         "the point 80:120 is above the fan's highest level of 100 %"},
        {"a temperature no GPU runs at", {{4, 0, "800"}}, {{40, 30}, {50, 35}, {60, 50}, {70, 75}, {800, 100}},
         "the point 800:100 names a temperature outside 0..120 C"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Editor editor;
        for (const Edit& e : c.edits) Type(*editor.dialog.Table(), e.row, e.column, QString::fromLatin1(e.typed));
        EXPECT_EQ(editor.dialog.Curve().points, c.points);
        EXPECT_EQ(editor.dialog.Plot()->Points().size(), static_cast<qsizetype>(c.points.size()));
        QTest::mouseClick(editor.dialog.OkButton(), Qt::LeftButton);
        if (c.refusal == nullptr) {
            EXPECT_TRUE(editor.refusals.isEmpty()) << editor.refusals.join(u'\n').toStdString();
            EXPECT_EQ(editor.dialog.result(), QDialog::Accepted);
            EXPECT_FALSE(editor.dialog.isVisible());
            continue;
        }
        ASSERT_EQ(editor.refusals.size(), 1);
        EXPECT_TRUE(editor.refusals[0].contains(QString::fromLatin1(c.refusal))) << editor.refusals[0].toStdString();
        EXPECT_TRUE(editor.dialog.isVisible()) << "a refused curve leaves the editor open";
        EXPECT_EQ(editor.dialog.Curve().points, c.points) << "nothing the user typed is lost";
    }
}

TEST(DialogFanCurve, PointsAreAddedInOrderAndTheirCountStaysWithinTwoToEight)
{
    Editor editor({{40, 30}, {60, 50}, {80, 100}});
    CFanCurveDlg& d = editor.dialog;
    // After the chosen point, halfway to the next one.
    d.Plot()->SelectPoint(0);
    QTest::mouseClick(d.AddButton(), Qt::LeftButton);
    EXPECT_EQ(d.Curve().points, (std::vector<FanCurvePoint>{{40, 30}, {50, 40}, {60, 50}, {80, 100}}));
    EXPECT_EQ(d.Plot()->SelectedPoint(), 1);
    while (d.AddButton()->isEnabled()) QTest::mouseClick(d.AddButton(), Qt::LeftButton);
    EXPECT_EQ(d.Curve().points.size(), kMaxFanCurvePoints);
    EXPECT_EQ(FanCurveFault(d.Curve()), std::nullopt) << "added points keep the temperatures rising";
    EXPECT_EQ(d.Table()->rowCount(), static_cast<int>(kMaxFanCurvePoints));
    while (d.RemoveButton()->isEnabled()) QTest::mouseClick(d.RemoveButton(), Qt::LeftButton);
    EXPECT_EQ(d.Curve().points.size(), kMinFanCurvePoints);
    EXPECT_EQ(d.Table()->rowCount(), static_cast<int>(kMinFanCurvePoints));
    EXPECT_TRUE(d.AddButton()->isEnabled());
}

TEST(DialogFanCurve, TheHandBackBelowTheFirstPointIsPartOfTheCurveAndCancelTakesNothing)
{
    Editor editor;
    EXPECT_FALSE(editor.dialog.Curve().autoBelow);
    QTest::mouseClick(editor.dialog.AutoBelowBox(), Qt::LeftButton);
    EXPECT_TRUE(editor.dialog.Curve().autoBelow);
    QTest::mouseClick(editor.dialog.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(editor.dialog.result(), QDialog::Rejected);
}
