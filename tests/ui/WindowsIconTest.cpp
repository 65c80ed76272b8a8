// The Windows icon the skin generator draws, read back by Qt's own icon reader: every size
// Explorer, the taskbar and the installer pick from is there, and each is the drawn icon.
#ifdef PYX_SKIN_GENERATOR
#include <QImage>
#include <QImageReader>
#include <QSet>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/TempFolder.h"

namespace {

TEST(WindowsIcon, HoldsTheIconAtEachSizeWindowsPicksFrom) {
    const pyx::test::TempFolder folder("pyx-icon-");
    const std::string icon = (folder.Path() / "pyxtune.ico").string();
    ASSERT_EQ(std::system((std::string(PYX_SKIN_GENERATOR) + " --windows-icon " + icon).c_str()), 0);

    QImageReader reader(QString::fromStdString(icon), "ico");
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    ASSERT_EQ(reader.imageCount(), 6);
    QSet<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << i << ": " << reader.errorString().toStdString();
        EXPECT_EQ(image.width(), image.height());
        sizes.insert(image.width());
        // Drawn, not empty: the middle of the icon is opaque, its corner clear.
        EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255) << image.width();
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << image.width();
    }
    EXPECT_EQ(sizes, (QSet<int>{16, 24, 32, 48, 64, 256}));
}

}  // namespace
#endif
