#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>

#include <string_view>

#include "app/AppCore.h"
#include "app/TuningController.h"
#include "app/TuningRanges.h"
#include "ui/main/AppTranslator.h"
#include "ui/main/CoreMessageTexts.h"

namespace pyx {
namespace {

bool HasChinese(const QString& text) { return text.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]"))); }

QString InMessages(const char* text) { return QCoreApplication::translate("Messages", text); }

// Installs the English translation for the length of a test (a translator takes itself out
// of the application when it goes).
struct EnglishInstalled {
    EnglishInstalled() { EXPECT_TRUE(translator.Install(*QCoreApplication::instance(), QLocale(QLocale::German))); }
    AppTranslator translator;
};

TEST(Translation, ChineseLocalesShowTheTextsAsWrittenEveryOtherGetsEnglish)
{
    EXPECT_TRUE(AppTranslator::TranslationFor(QLocale(QLocale::Chinese, QLocale::China)).isEmpty());
    EXPECT_TRUE(AppTranslator::TranslationFor(QLocale(QLocale::Chinese, QLocale::Taiwan)).isEmpty());
    EXPECT_FALSE(AppTranslator::TranslationFor(QLocale(QLocale::English, QLocale::UnitedStates)).isEmpty());
    EXPECT_EQ(AppTranslator::TranslationFor(QLocale(QLocale::German)),
              AppTranslator::TranslationFor(QLocale(QLocale::English)));
    AppTranslator none;
    EXPECT_FALSE(none.Install(*QCoreApplication::instance(), QLocale(QLocale::Chinese, QLocale::China)));
}

TEST(Translation, EveryTextTheCoreShowsIsKnownToTheTranslationsAndNoneStaysChineseInEnglish)
{
    // The list the translation tools read must hold the core's texts word for word, or a
    // message box would look for a translation that was never made.
    const std::string_view coreTexts[] = {kOverclockWarningText, kAppliedText, kOtherUserMessage,
                                          kAddFontFailedMessage, kNotKeplerText, kBoostClockZeroText};
    for (std::string_view text : coreTexts) {
        bool listed = false;
        for (const char* entry : CoreMessageTexts()) listed = listed || text == entry;
        EXPECT_TRUE(listed) << text;
    }

    EnglishInstalled english;
    for (const char* entry : CoreMessageTexts()) {
        const QString shown = InMessages(entry);
        EXPECT_FALSE(HasChinese(shown)) << entry;
        EXPECT_FALSE(shown.isEmpty()) << entry;
    }
    EXPECT_TRUE(InMessages(kOverclockWarningText).startsWith(QStringLiteral("Warning:")));
    EXPECT_EQ(QCoreApplication::translate("pyx::CVornDlg", "关于 Vorn(&A)..."), QStringLiteral("&About Vorn..."));
    EXPECT_EQ(QCoreApplication::translate("pyx::CAboutDlg", "关于 Vorn"), QStringLiteral("About Vorn"));
}

}  // namespace
}  // namespace pyx
