#include "ui/controls/CBmpRgn.h"
#include "ui/controls/SkinImages.h"

#include <gtest/gtest.h>

#include <QSize>

#include <map>

namespace {

const QRgb kWhite = qRgb(255, 255, 255);

// Every image the window and its controls ask for, with the size the layout relies on.
const std::map<int, QSize>& Expected()
{
    static const std::map<int, QSize> sizes = [] {
        std::map<int, QSize> m;
        for (int id : {130, 204, 205})
            m[id] = QSize(750, 810);
        m[144] = m[145] = QSize(57, 151);
        m[146] = m[147] = QSize(57, 21);
        for (int id : {141, 142, 143, 148, 149, 150, 151, 152})
            m[id] = QSize(162, 100);
        for (int id : {133, 134, 135, 136})
            m[id] = QSize(32, 26);
        m[191] = m[192] = QSize(36, 26);
        for (int id : {195, 196, 197, 198, 199})
            m[id] = QSize(20, 46);
        m[173] = m[174] = QSize(16, 16);
        for (int id : {153, 154, 155, 156})
            m[id] = QSize(96, 30);
        m[193] = m[194] = QSize(74, 24);
        m[215] = m[216] = QSize(64, 20);
        m[172] = QSize(84, 72);
        m[171] = QSize(352, 290);
        for (int id = 175; id <= 190; ++id)
            m[id] = QSize(13, 13);
        for (int id = 207; id <= 214; ++id)
            m[id] = QSize(26, 24);
        m[128] = QSize(64, 64);
        return m;
    }();
    return sizes;
}

TEST(Artwork, EveryImageExistsWithItsSize)
{
    for (const auto& [id, size] : Expected()) {
        ASSERT_TRUE(HasSkinImage(id)) << id;
        EXPECT_EQ(LoadSkinImage(id).size(), size) << id;
    }
    EXPECT_FALSE(HasSkinImage(9999));
    EXPECT_TRUE(LoadSkinImage(9999).isNull());
    EXPECT_TRUE(LoadSkinImage(0).isNull());
}

TEST(Artwork, SkinsAreWhiteOnlyOutsideTheWindowOutline)
{
    for (int id : {130, 204, 205}) {
        const QImage skin = LoadSkinImage(id);
        const QRegion outline = CBmpRgn::BuildRegion(skin, kWhite, 0, 2);
        EXPECT_GT(outline.boundingRect().width(), 740) << id;
        EXPECT_GT(outline.boundingRect().height(), 800) << id;
        int whiteInside = 0;
        for (const QRect& r : outline)
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    whiteInside += (skin.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
        EXPECT_EQ(whiteInside, 0) << "skin " << id;
        EXPECT_EQ(skin.pixel(0, 0), kWhite) << "rounded corner";
    }
}

TEST(Artwork, ButtonsAreWhiteOnlyOutsideTheirOutline)
{
    for (const auto& [id, size] : Expected()) {
        if (size.width() >= 750 || id == 128 || (id >= 144 && id <= 147))
            continue;
        const QImage img = LoadSkinImage(id);
        const QRegion outline = CBmpRgn::BuildRegion(img, kWhite, 0, 0);
        for (const QRect& r : outline)
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    ASSERT_NE(img.pixel(x, y) & 0xFFFFFF, 0xFFFFFFu) << "image " << id << " at " << x << "," << y;
    }
}

TEST(Artwork, SliderPartsFitTheirRoles)
{
    const QImage thumb = LoadSkinImage(146);
    EXPECT_EQ(thumb.pixel(0, 0), kWhite) << "the transparent colour";
    EXPECT_NE(thumb.pixel(28, 10), kWhite);
    EXPECT_NE(LoadSkinImage(147).pixel(28, 10), thumb.pixel(28, 10));
    // The two tracks differ in the groove and agree beside it, so the skin looks the same.
    const QImage filled = LoadSkinImage(144);
    const QImage empty = LoadSkinImage(145);
    EXPECT_NE(filled.pixel(28, 75), empty.pixel(28, 75));
    EXPECT_EQ(filled.pixel(2, 75), empty.pixel(2, 75));
}

TEST(Artwork, PickerHasItsDarkGroundAndNoGroundInsideTheColours)
{
    const QImage picker = LoadSkinImage(172);
    EXPECT_EQ(picker.pixel(42, 1) & 0xFFFFFF, 0x141414u);
    for (int y = 6; y < picker.height() - 6; ++y)
        for (int x = 6; x < picker.width() - 6; ++x)
            ASSERT_NE(picker.pixel(x, y) & 0xFFFFFF, 0x141414u) << x << "," << y;
}

} // namespace
