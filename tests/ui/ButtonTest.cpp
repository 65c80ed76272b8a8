#include "UiTestSupport.h"

#include "ui/controls/CMPButton.h"
#include "ui/controls/CMPStatic.h"
#include "ui/controls/SkinImages.h"

#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QPainter>

#include <memory>

namespace {

class ButtonFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent = std::make_unique<RecordingParent>();
        parent->resize(750, 810);
        button = new CMPButton(parent.get());
        button->Create(116, QRect(395, 773, 10, 10), 154, 153);
        button->SetClock([this] { return now; });
    }

    void Click(QPoint press, QPoint release, qint64 heldMs)
    {
        SendMouse(button, QEvent::MouseButtonPress, press);
        now += heldMs;
        SendMouse(button, QEvent::MouseButtonRelease, release);
    }

    std::unique_ptr<RecordingParent> parent;
    CMPButton* button = nullptr;
    qint64 now = 5000;
};

TEST_F(ButtonFixture, TakesSizeAndOutlineFromItsNormalPicture)
{
    EXPECT_EQ(button->geometry(), QRect(395, 773, 96, 30));
    const QRegion shape = button->mask();
    EXPECT_FALSE(shape.contains(QPoint(0, 0))) << "white corner cut away";
    EXPECT_TRUE(shape.contains(QPoint(48, 15)));
    EXPECT_TRUE(shape.contains(QPoint(0, 15)));
}

TEST_F(ButtonFixture, ShortPressClicksEvenWhenReleasedOutside)
{
    Click(QPoint(40, 15), QPoint(40, 15), 300);
    auto notes = parent->Take();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].type, CCommandEvent::Command);
    EXPECT_EQ(notes[0].id, 116);
    EXPECT_EQ(notes[0].sender, button);

    Click(QPoint(40, 15), QPoint(-300, 200), 1999);
    notes = parent->Take();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].id, 116);
    EXPECT_FALSE(button->IsPressed());
}

TEST_F(ButtonFixture, LongPressPostsNoClick)
{
    Click(QPoint(40, 15), QPoint(40, 15), 2000);
    EXPECT_TRUE(parent->Take().isEmpty());
    Click(QPoint(40, 15), QPoint(40, 15), 7000);
    EXPECT_TRUE(parent->Take().isEmpty());
    // Other buttons do not click.
    SendMouse(button, QEvent::MouseButtonPress, QPoint(40, 15), Qt::RightButton);
    SendMouse(button, QEvent::MouseButtonRelease, QPoint(40, 15), Qt::RightButton);
    EXPECT_TRUE(parent->Take().isEmpty());
}

TEST_F(ButtonFixture, HotPictureWhileHoveredPressedOrChecked)
{
    EXPECT_EQ(button->ShownBitmapId(), 154);
    QEnterEvent enter(QPointF(40, 15), QPointF(40, 15), QPointF(435, 788));
    QCoreApplication::sendEvent(button, &enter);
    EXPECT_TRUE(button->IsHover());
    EXPECT_EQ(button->ShownBitmapId(), 153);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_EQ(button->ShownBitmapId(), 154) << "leaving restores the normal look at once";

    SendMouse(button, QEvent::MouseButtonPress, QPoint(40, 15));
    EXPECT_EQ(button->ShownBitmapId(), 153);
    SendMouse(button, QEvent::MouseButtonRelease, QPoint(-40, 15));
    EXPECT_EQ(button->ShownBitmapId(), 154) << "released outside: neither pressed nor hovered";

    button->SetChecked(true);
    EXPECT_EQ(button->ShownBitmapId(), 153);
    button->SetBitmaps(149, 149);
    button->SetChecked(false);
    EXPECT_EQ(button->ShownBitmapId(), 149);
}

TEST_F(ButtonFixture, DisabledButtonLosesHoverAndPaintsItsNormalPicture)
{
    QEnterEvent enter(QPointF(40, 15), QPointF(40, 15), QPointF(435, 788));
    QCoreApplication::sendEvent(button, &enter);
    button->setEnabled(false);
    EXPECT_FALSE(button->IsHover());
    EXPECT_EQ(button->ShownBitmapId(), 154);
    const QImage shot = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot.pixel(8, 15), LoadSkinImage(154).pixel(8, 15));
}

TEST(MPButton, MissingPictureKeepsTheRectangleAndShowsTheCaption)
{
    RecordingParent parent;
    CMPButton b(&parent);
    b.Create(200, QRect(10, 20, 60, 24), 9999, 9998, 0, QStringLiteral("Go"));
    EXPECT_EQ(b.geometry(), QRect(10, 20, 60, 24));
    EXPECT_TRUE(b.mask().isEmpty());
    QImage shot(b.size(), QImage::Format_RGB32);
    shot.fill(Qt::white);
    b.render(&shot);
    int ink = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            ink += qGray(shot.pixel(x, y)) < 128;
    EXPECT_GT(ink, 5) << "the caption is drawn in black";
}

// Rows of a white-filled render that hold black caption pixels.
QVector<int> InkRows(CMPButton& b)
{
    QImage shot(b.size(), QImage::Format_RGB32);
    shot.fill(Qt::white);
    b.render(&shot);
    QVector<int> rows;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (qGray(shot.pixel(x, y)) < 128) {
                rows.push_back(y);
                break;
            }
    return rows;
}

TEST(MPButton, TwoLineCaptionSplitsAtTheLineFeed)
{
    RecordingParent parent;
    CMPButton b(&parent);
    b.Create(201, QRect(0, 0, 120, 60), 0, 0);
    QFont f = b.font();
    f.setPixelSize(12);
    b.setFont(f);
    b.SetText(QStringLiteral("Upper\nLower"));
    const QVector<int> two = InkRows(b);
    ASSERT_FALSE(two.isEmpty());
    bool upper = false;
    bool lower = false;
    for (int y : two) {
        upper |= y < 30;
        lower |= y >= 32;
    }
    EXPECT_TRUE(upper && lower);
    EXPECT_GE(two.front(), 6);

    b.SetText(QStringLiteral("Single"));
    const QVector<int> one = InkRows(b);
    ASSERT_FALSE(one.isEmpty());
    EXPECT_LT(one.front(), 30);
    EXPECT_GT(one.back(), 30) << "a single line is centred across the middle";
}

class PickerFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent = std::make_unique<RecordingParent>();
        parent->resize(750, 810);
        picker = new CMPButton(parent.get());
        picker->Create(127, QRect(428, 332, 1, 1), 172, 172);
        picker->SetColorPick(true);
        picker->SetClock([] { return qint64(100); });
    }

    std::unique_ptr<RecordingParent> parent;
    CMPButton* picker = nullptr;
};

TEST_F(PickerFixture, IgnoresTheDarkGround)
{
    const QImage art = LoadSkinImage(172);
    ASSERT_EQ(art.pixel(42, 2) & 0xFFFFFF, CMPButton::kPickerGround);
    SendMouse(picker, QEvent::MouseButtonPress, QPoint(42, 2));
    SendMouse(picker, QEvent::MouseButtonRelease, QPoint(42, 2));
    EXPECT_TRUE(parent->Take().isEmpty());
    EXPECT_FALSE(picker->PickedColor().isValid());
    // Nor a release outside the picker.
    SendMouse(picker, QEvent::MouseButtonPress, QPoint(42, 30));
    SendMouse(picker, QEvent::MouseButtonRelease, QPoint(200, 30));
    EXPECT_TRUE(parent->Take().isEmpty());
}

TEST_F(PickerFixture, PicksTheColourUnderTheReleaseAndPaintsTheSwatch)
{
    const QImage art = LoadSkinImage(172);
    SendMouse(picker, QEvent::MouseButtonPress, QPoint(20, 30));
    SendMouse(picker, QEvent::MouseButtonRelease, QPoint(42, 36));
    const auto notes = parent->Take();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].id, 127);
    ASSERT_TRUE(picker->PickedColor().isValid());
    EXPECT_EQ(picker->PickedColor().rgb() & 0xFFFFFF, art.pixel(42, 36) & 0xFFFFFF);

    // A second pick reads the picture, not the mark of the first.
    SendMouse(picker, QEvent::MouseButtonPress, QPoint(45, 36));
    SendMouse(picker, QEvent::MouseButtonRelease, QPoint(45, 36));
    EXPECT_EQ(picker->PickedColor().rgb() & 0xFFFFFF, art.pixel(45, 36) & 0xFFFFFF);

    QImage swatch(750, 810, QImage::Format_RGB32);
    swatch.fill(Qt::black);
    QPainter p(&swatch);
    picker->PaintSwatch(p);
    p.end();
    EXPECT_EQ(swatch.pixel(438, 529), picker->PickedColor().rgb());
    EXPECT_EQ(swatch.pixel(427, 529), qRgb(0, 0, 0));
}

TEST(MPStatic, EmptyTextShowsOnlyTheFill)
{
    QWidget parent;
    CMPStatic label(&parent, 154);
    label.setGeometry(83, 134, 175, 66);
    const QImage blank = label.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 1; y < 65; ++y)
        for (int x = 1; x < 174; ++x)
            ASSERT_EQ(blank.pixel(x, y), qRgb(0, 0, 0));
    EXPECT_FALSE(label.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(label.mask().contains(QPoint(1, 0)));

    // Text sits at the right unless centred.
    label.SetText(QStringLiteral("1500"));
    const QImage right = label.grab().toImage();
    int minX = 175;
    for (int y = 0; y < 66; ++y)
        for (int x = 0; x < 175; ++x)
            if (qGray(right.pixel(x, y)) > 100)
                minX = std::min(minX, x);
    EXPECT_GT(minX, 88);
    label.SetCentered(true);
    const QImage centred = label.grab().toImage();
    int minC = 175;
    for (int y = 0; y < 66; ++y)
        for (int x = 0; x < 175; ++x)
            if (qGray(centred.pixel(x, y)) > 100)
                minC = std::min(minC, x);
    EXPECT_LT(minC, minX);
}

} // namespace
