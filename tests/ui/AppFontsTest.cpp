#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ui/main/AppFonts.h"

namespace pyx {
namespace {

TEST(AppFonts, AFaceTheSystemHasIsNotAddedAndAFailedFileStopsEverything) {
    QStringList tried;
    AppFonts haveDigital([] { return QStringList{"DS-Digital", "Sans"}; },
                         [&](const QString& path) {
                             tried << QFileInfo(path).fileName();
                             return QStringList{"Liberation Sans"};
                         });
    EXPECT_TRUE(haveDigital.RegisterFonts());
    EXPECT_EQ(tried, QStringList{"Arial.ttf"}) << "DS-DIGI.ttf is not needed when DS-Digital is installed";
    EXPECT_TRUE(haveDigital.Font(9).created);

    tried.clear();
    AppFonts failing([] { return QStringList{}; },
                     [&](const QString& path) {
                         tried << QFileInfo(path).fileName();
                         return QStringList{};
                     });
    EXPECT_FALSE(failing.RegisterFonts());
    EXPECT_EQ(tried, QStringList{"Arial.ttf"}) << "the second file is not tried after the first failed";
    EXPECT_FALSE(failing.Font(0).created);

    // Only the exact, case-sensitive name counts as installed.
    tried.clear();
    AppFonts caseDiffers([] { return QStringList{"arial", "DS-Digital"}; },
                         [&](const QString& path) {
                             tried << QFileInfo(path).fileName();
                             return QStringList{"Liberation Sans"};
                         });
    EXPECT_TRUE(caseDiffers.RegisterFonts());
    EXPECT_EQ(tried, QStringList{"Arial.ttf"});
}

TEST(AppFonts, TheTableGivesSizesWeightsAndAngles) {
    AppFonts fonts([] { return QStringList{"Arial", "DS-Digital"}; }, [](const QString&) { return QStringList{}; });
    ASSERT_TRUE(fonts.RegisterFonts());
    EXPECT_EQ(fonts.Font(0).font.family(), "Arial");
    EXPECT_EQ(fonts.Font(0).font.pixelSize(), 30);
    EXPECT_EQ(fonts.Font(7).font.family(), "DS-Digital");
    EXPECT_EQ(fonts.Font(7).font.pixelSize(), 90);
    EXPECT_EQ(fonts.Font(4).font.weight(), QFont::Bold);
    EXPECT_EQ(fonts.Font(4).escapementTenths, 100);
    EXPECT_EQ(fonts.Font(3).escapementTenths, -100);
    EXPECT_EQ(fonts.Font(3).orientationTenths, 900);
    EXPECT_EQ(fonts.Font(9).font.styleStrategy(), QFont::PreferDefault);
}

TEST(AppFonts, TheShippedFilesResolveTheDesignedFaceNames) {
    // The real files the build places beside the program.
    const QString bin = QString::fromUtf8(PYX_BIN_DIR);
    if (!QFileInfo::exists(bin + "/Arial.ttf")) GTEST_SKIP() << "fonts not placed in " << bin.toStdString();
    const QString old = QDir::currentPath();
    QDir::setCurrent(bin);
    AppFonts fonts([] { return QStringList{}; },
                   [](const QString& path) {
                       const int id = QFontDatabase::addApplicationFont(path);
                       return id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
                   });
    const bool ok = fonts.RegisterFonts();
    QDir::setCurrent(old);
    ASSERT_TRUE(ok);
    EXPECT_EQ(fonts.AddedFiles().size(), 2);
    EXPECT_EQ(QFontInfo(fonts.Font(1).font).family(), "DSEG7 Classic");
    EXPECT_EQ(QFontInfo(fonts.Font(0).font).family(), "Liberation Sans");
}

}  // namespace
}  // namespace pyx
