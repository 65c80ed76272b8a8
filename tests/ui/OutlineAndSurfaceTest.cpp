#include "ui/controls/CBmpRgn.h"
#include "ui/controls/CMemDC.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QWidget>

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kDark = qRgb(30, 34, 40);

QImage Filled(int w, int h, QRgb c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

TEST(BmpRgn, FullWidthImageEndsAtColumn747WithTheRightInset)
{
    const QImage skin = Filled(750, 810, kDark);
    const QRegion r = CBmpRgn::BuildRegion(skin, kWhite, 0, 2);
    EXPECT_TRUE(r.contains(QPoint(0, 0)));
    EXPECT_TRUE(r.contains(QPoint(0, 400)));
    EXPECT_TRUE(r.contains(QPoint(746, 400)));
    EXPECT_FALSE(r.contains(QPoint(747, 400)));
    EXPECT_FALSE(r.contains(QPoint(749, 400)));
    EXPECT_EQ(r.boundingRect().left(), 0);
    EXPECT_EQ(r.boundingRect().right(), 746);
}

TEST(BmpRgn, OutlineFollowsNotchesAndInsets)
{
    QImage img = Filled(40, 40, kDark);
    for (int y = 10; y < 20; ++y)
        for (int x = 0; x < 6; ++x) {
            img.setPixel(x, y, kWhite);
            img.setPixel(39 - x, y, kWhite);
        }
    const QRegion r = CBmpRgn::BuildRegion(img, kWhite, 0, 0);
    EXPECT_TRUE(r.contains(QPoint(2, 5)));
    EXPECT_FALSE(r.contains(QPoint(2, 15)));
    EXPECT_FALSE(r.contains(QPoint(37, 15)));
    EXPECT_TRUE(r.contains(QPoint(8, 15)));
    EXPECT_TRUE(r.contains(QPoint(31, 15)));

    const QRegion inset = CBmpRgn::BuildRegion(Filled(40, 40, kDark), kWhite, 3, 4);
    EXPECT_FALSE(inset.contains(QPoint(2, 20)));
    EXPECT_TRUE(inset.contains(QPoint(3, 20)));
    EXPECT_TRUE(inset.contains(QPoint(34, 20)));
    EXPECT_FALSE(inset.contains(QPoint(35, 20)));
}

TEST(BmpRgn, NearWhiteWithinTwoCountsAsTransparent)
{
    EXPECT_TRUE(CBmpRgn::IsTransparent(qRgb(253, 254, 255), kWhite));
    EXPECT_FALSE(CBmpRgn::IsTransparent(qRgb(252, 255, 255), kWhite));
    EXPECT_FALSE(CBmpRgn::IsTransparent(qRgb(255, 255, 252), kWhite));

    QImage img = Filled(30, 30, kDark);
    for (int y = 0; y < 30; ++y) {
        img.setPixel(0, y, qRgb(253, 254, 255));
        img.setPixel(1, y, qRgb(252, 255, 255));
    }
    const QRegion r = CBmpRgn::BuildRegion(img, kWhite, 0, 0);
    EXPECT_FALSE(r.contains(QPoint(0, 15)));
    EXPECT_TRUE(r.contains(QPoint(1, 15)));
}

TEST(BmpRgn, FullyTransparentRowsAreLeftOut)
{
    QImage img = Filled(20, 30, kDark);
    for (int y = 10; y < 15; ++y)
        for (int x = 0; x < 20; ++x)
            img.setPixel(x, y, kWhite);
    const QRegion r = CBmpRgn::BuildRegion(img, kWhite, 0, 0);
    EXPECT_TRUE(r.contains(QPoint(10, 5)));
    EXPECT_FALSE(r.contains(QPoint(10, 12)));
    EXPECT_TRUE(r.contains(QPoint(10, 20)));
    EXPECT_TRUE(CBmpRgn::BuildRegion(Filled(10, 10, kWhite), kWhite, 0, 0).isEmpty());
    EXPECT_TRUE(CBmpRgn::BuildRegion(QImage(), kWhite, 0, 0).isEmpty());
}

TEST(BmpRgn, ApplyRegionSizesAndShapesTheWindowKeepingItsCorner)
{
    QWidget w;
    w.setGeometry(40, 50, 10, 10);
    QImage img = Filled(60, 30, kDark);
    img.setPixel(0, 0, kWhite);
    CBmpRgn shape(&w, img, kWhite, 0, 0);
    shape.ApplyRegion();
    EXPECT_EQ(w.geometry(), QRect(40, 50, 60, 30));
    EXPECT_FALSE(w.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(w.mask().contains(QPoint(30, 15)));

    // Nothing happens without a window or a picture.
    CBmpRgn noWindow(nullptr, img, kWhite, 0, 0);
    noWindow.ApplyRegion();
    QWidget untouched;
    untouched.setGeometry(1, 2, 3, 4);
    CBmpRgn noPicture(&untouched, QImage(), kWhite, 0, 0);
    noPicture.ApplyRegion();
    EXPECT_EQ(untouched.geometry(), QRect(1, 2, 3, 4));
    EXPECT_TRUE(untouched.mask().isEmpty());
}

TEST(MemDC, DrawsOffScreenAndCopiesInOneStep)
{
    QImage target = Filled(100, 80, qRgb(10, 10, 10));
    {
        QPainter p(&target);
        CMemDC mem(p, QRect(20, 10, 50, 40));
        EXPECT_TRUE(mem.IsMemoryDC());
        mem.Painter().fillRect(QRect(20, 10, 50, 40), QColor(200, 0, 0));
        mem.Painter().fillRect(QRect(30, 20, 5, 5), QColor(0, 200, 0));
        EXPECT_EQ(target.pixel(30, 20), qRgb(10, 10, 10)) << "nothing reaches the target before the close";
    }
    EXPECT_EQ(target.pixel(20, 10), qRgb(200, 0, 0));
    EXPECT_EQ(target.pixel(32, 22), qRgb(0, 200, 0)) << "same coordinates as on the target";
    EXPECT_EQ(target.pixel(19, 10), qRgb(10, 10, 10));
    EXPECT_EQ(target.pixel(70, 30), qRgb(10, 10, 10));
}

TEST(MemDC, CopiesTheBackgroundWhenAsked)
{
    QImage target = Filled(40, 40, qRgb(10, 10, 10));
    target.setPixel(12, 12, qRgb(1, 2, 3));
    {
        QPainter p(&target);
        CMemDC mem(p, QRect(10, 10, 10, 10), true);
        mem.Painter().fillRect(QRect(15, 15, 2, 2), QColor(9, 9, 9));
    }
    EXPECT_EQ(target.pixel(12, 12), qRgb(1, 2, 3));
    EXPECT_EQ(target.pixel(15, 15), qRgb(9, 9, 9));
}

TEST(MemDC, OverAPrintingDeviceDrawsStraightIntoIt)
{
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&file);
    QPainter p(&pdf);
    {
        CMemDC mem(p, QRect(0, 0, 20, 20));
        EXPECT_FALSE(mem.IsMemoryDC());
        EXPECT_EQ(&mem.Painter(), &p);
        mem.Painter().fillRect(QRect(5, 5, 2, 2), Qt::red);
    }
    p.end();
    EXPECT_GT(file.size(), 0);
}

} // namespace
