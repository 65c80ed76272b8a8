#include "UiTestSupport.h"

#include "ui/controls/CBitmapSlider.h"
#include "ui/controls/SkinImages.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A 57 x 151 slider with the program's 57 x 21 thumb on a parent that carries a skin.
class SliderFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent = std::make_unique<RecordingParent>();
        parent->resize(750, 810);
        parent->setProperty("BmpProp", LoadSkinImage(130));
        slider = new CBitmapSlider(parent.get(), 117);
        slider->setGeometry(63, 380, 57, 151);
        slider->SetThumbBitmap();
        slider->SetVertical();
        slider->SetRange(0, 100);
        slider->SetPos(0);
    }

    std::unique_ptr<RecordingParent> parent;
    CBitmapSlider* slider = nullptr;
};

TEST_F(SliderFixture, PixelAndPositionOfTheHundredStepExample)
{
    ASSERT_TRUE(slider->HasThumb());
    EXPECT_EQ(slider->PixelOfPosition(100), 10);
    EXPECT_EQ(slider->PixelOfPosition(0), 140);
    EXPECT_EQ(slider->PixelOfPosition(50), 75);
    EXPECT_EQ(slider->PositionOfPixel(10), 100);
    EXPECT_EQ(slider->PositionOfPixel(140), 0);
    EXPECT_EQ(slider->PositionOfPixel(75), 50);
    // Truncation toward zero on both sides of the range.
    EXPECT_EQ(slider->PositionOfPixel(40), 76);
    slider->SetRange(-100, 100);
    EXPECT_EQ(slider->PixelOfPosition(-99), 139);
    EXPECT_EQ(slider->PositionOfPixel(139), -98);
}

TEST_F(SliderFixture, PressOffTheThumbJumpsThereAndReleaseReports)
{
    SendMouse(slider, QEvent::MouseButtonPress, QPoint(28, 40));
    EXPECT_TRUE(slider->IsTracking());
    EXPECT_EQ(slider->GetPos(), 76);
    auto notes = parent->Take();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].type, CSliderEvent::Moving);
    EXPECT_EQ(notes[0].id, 117);
    EXPECT_EQ(notes[0].value, 76);

    SendMouse(slider, QEvent::MouseButtonRelease, QPoint(28, 40));
    EXPECT_FALSE(slider->IsTracking());
    notes = parent->Take();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].type, CSliderEvent::Moved);
    EXPECT_EQ(notes[0].id, 117);
    EXPECT_EQ(notes[0].value, 76);
}

TEST_F(SliderFixture, DragKeepsTheGrabOffsetAndClampsTheThumbCentre)
{
    slider->SetPos(50); // centre at 75
    SendMouse(slider, QEvent::MouseButtonPress, QPoint(28, 80)); // 5 below the centre
    EXPECT_EQ(slider->GetPos(), 50) << "a press on the thumb must not move it";
    EXPECT_TRUE(parent->Take().isEmpty());

    SendMouse(slider, QEvent::MouseMove, QPoint(28, 100)); // centre to 95
    EXPECT_EQ(slider->GetPos(), 34);
    EXPECT_EQ(slider->PixelOfPosition(slider->GetPos()), 95);

    SendMouse(slider, QEvent::MouseMove, QPoint(28, -200));
    EXPECT_EQ(slider->GetPos(), 100);
    SendMouse(slider, QEvent::MouseMove, QPoint(28, 2000));
    EXPECT_EQ(slider->GetPos(), 0);
    const auto notes = parent->Take();
    ASSERT_EQ(notes.size(), 3);
    EXPECT_EQ(notes[0].value, 34);
    EXPECT_EQ(notes[1].value, 100);
    EXPECT_EQ(notes[2].value, 0);
    for (const auto& n : notes)
        EXPECT_EQ(n.type, CSliderEvent::Moving);
}

TEST_F(SliderFixture, NoEventWhileThePixelStaysAndReleaseStillReports)
{
    slider->SetPos(50);
    SendMouse(slider, QEvent::MouseButtonPress, QPoint(28, 75));
    SendMouse(slider, QEvent::MouseMove, QPoint(28, 75));
    SendMouse(slider, QEvent::MouseMove, QPoint(40, 75));
    EXPECT_TRUE(parent->Take().isEmpty());

    SendMouse(slider, QEvent::MouseMove, QPoint(28, 76));
    auto notes = parent->Take();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].value, 49);
    SendMouse(slider, QEvent::MouseMove, QPoint(28, 76)); // pixel of 49 is 76 again
    EXPECT_TRUE(parent->Take().isEmpty());

    SendMouse(slider, QEvent::MouseButtonRelease, QPoint(28, 76));
    notes = parent->Take();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].type, CSliderEvent::Moved);
    EXPECT_EQ(notes[0].value, 49);
}

TEST_F(SliderFixture, MovesWithoutAPressAreIgnored)
{
    SendMouse(slider, QEvent::MouseMove, QPoint(28, 20));
    EXPECT_EQ(slider->GetPos(), 0);
    EXPECT_TRUE(parent->Take().isEmpty());
}

TEST_F(SliderFixture, KeysStepClampAndReport)
{
    struct Step { int start; int key; int expected; };
    const Step steps[] = {
        {95, Qt::Key_PageUp, 100}, {30, Qt::Key_PageUp, 50},  {30, Qt::Key_PageDown, 10},
        {10, Qt::Key_PageDown, 0}, {42, Qt::Key_Home, 0},     {42, Qt::Key_End, 100},
        {42, Qt::Key_Up, 43},      {42, Qt::Key_Right, 43},   {42, Qt::Key_Down, 41},
        {42, Qt::Key_Left, 41},    {0, Qt::Key_Down, 0},      {100, Qt::Key_Up, 100},
    };
    for (const Step& s : steps) {
        slider->SetPos(s.start);
        SendKey(slider, s.key);
        EXPECT_EQ(slider->GetPos(), s.expected) << "key " << s.key << " from " << s.start;
        const auto notes = parent->Take();
        ASSERT_EQ(notes.size(), 1);
        EXPECT_EQ(notes[0].type, CSliderEvent::Moved);
        EXPECT_EQ(notes[0].id, 117);
        EXPECT_EQ(notes[0].value, s.expected);
    }
    // The Up arrow raises the value and the thumb moves up.
    slider->SetPos(50);
    const int before = slider->PixelOfPosition(slider->GetPos());
    SendKey(slider, Qt::Key_Up);
    EXPECT_LT(slider->PixelOfPosition(slider->GetPos()), before);
    parent->Take();

    SendKey(slider, Qt::Key_A);
    EXPECT_TRUE(parent->Take().isEmpty()) << "other keys post nothing";
}

TEST_F(SliderFixture, SetPosClampsButSetRangeDoesNot)
{
    slider->SetPos(250);
    EXPECT_EQ(slider->GetPos(), 100);
    slider->SetPos(-5);
    EXPECT_EQ(slider->GetPos(), 0);
    slider->SetPos(80);
    slider->SetRange(0, 60);
    EXPECT_EQ(slider->GetPos(), 80);
    slider->SetPos(slider->GetPos());
    EXPECT_EQ(slider->GetPos(), 60);
}

TEST_F(SliderFixture, EmptyRangeRestsAtTheBottomWithoutDividing)
{
    for (const auto& range : {std::pair{50, 50}, std::pair{10, 0}}) {
        slider->SetRange(range.first, range.second);
        slider->SetPos(7);
        EXPECT_EQ(slider->PixelOfPosition(slider->GetPos()), 140);
        EXPECT_EQ(slider->PositionOfPixel(10), range.first);
        SendMouse(slider, QEvent::MouseButtonPress, QPoint(28, 20));
        SendMouse(slider, QEvent::MouseMove, QPoint(28, 60));
        SendMouse(slider, QEvent::MouseButtonRelease, QPoint(28, 60));
        EXPECT_EQ(slider->GetPos(), range.first);
        SendKey(slider, Qt::Key_PageUp);
        EXPECT_EQ(slider->GetPos(), range.first);
        EXPECT_FALSE(slider->grab().isNull());
        parent->Take();
    }
}

TEST(BitmapSlider, WithoutSizeOrThumbNothingDivides)
{
    RecordingParent parent;
    CBitmapSlider slider(&parent, 5);
    slider.SetRange(0, 100);
    // No thumb yet: the size is unknown, so every pixel maps to the minimum.
    EXPECT_EQ(slider.PositionOfPixel(30), 0);
    SendMouse(&slider, QEvent::MouseButtonPress, QPoint(5, 5));
    SendMouse(&slider, QEvent::MouseMove, QPoint(5, 25));
    SendMouse(&slider, QEvent::MouseButtonRelease, QPoint(5, 25));
    EXPECT_EQ(slider.GetPos(), 0);
    EXPECT_FALSE(slider.HasThumb());
    EXPECT_FALSE(slider.grab().isNull());
}

TEST_F(SliderFixture, ThumbMaskFollowsTheTopLeftColour)
{
    const QImage& mask = slider->ThumbMask();
    ASSERT_EQ(mask.size(), QSize(57, 21));
    const QImage thumb = LoadSkinImage(146);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 57; ++x)
            ASSERT_EQ(mask.pixelIndex(x, y) == 1, thumb.pixel(x, y) == thumb.pixel(0, 0)) << x << "," << y;
    EXPECT_EQ(mask.pixelIndex(28, 10), 0);
}

TEST_F(SliderFixture, PaintsTracksAndThumbAtThePosition)
{
    slider->SetPos(50);
    const QImage shot = slider->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage filled = LoadSkinImage(144);
    const QImage empty = LoadSkinImage(145);
    const QImage thumb = LoadSkinImage(146);
    // Groove above the thumb from the empty track, below it from the filled one.
    EXPECT_EQ(shot.pixel(28, 30), empty.pixel(28, 30));
    EXPECT_EQ(shot.pixel(28, 120), filled.pixel(28, 120));
    // The thumb's own pixels replace the track; its transparent corner lets the track show.
    EXPECT_EQ(shot.pixel(28, 75), thumb.pixel(28, 10));
    EXPECT_EQ(shot.pixel(0, 65), empty.pixel(0, 65));

    slider->setEnabled(false);
    const QImage grey = slider->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(grey.pixel(28, 75), LoadSkinImage(147).pixel(28, 10));
}

} // namespace
