#include <gtest/gtest.h>

#include <string>

#include "app/CoreTexts.h"
#include "app/FanCurveEngine.h"
#include "app/FanSafety.h"
#include "app/LedService.h"
#include "app/ProgramOptions.h"
#include "app/ReapplyGuard.h"
#include "app/TuningController.h"
#include "app/TuningReport.h"
#include "platform/TextLanguage.h"

namespace pyx {
namespace {

// The language a test chose, taken back when it ends so that no other test reads it.
struct LanguageChosen {
    explicit LanguageChosen(TextLanguage language) { CoreTexts::SetLanguage(language); }
    ~LanguageChosen() { CoreTexts::SetLanguage(TextLanguage::AsWritten); }
};

TEST(CoreTexts, PlaceholdersAreFilledOnceAndEverythingElseStays) {
    struct Case {
        const char* pattern;
        std::initializer_list<std::string_view> args;
        const char* expected;
    };
    const Case cases[] = {
        {"GPU %1 refused:", {"0"}, "GPU 0 refused:"},
        {"%2 before %1", {"a", "b"}, "b before a"},
        // An argument's own placeholder is a value, not a place to fill.
        {"%1 and %2", {"%2", "x"}, "%2 and x"},
        {"%1%1", {"ab"}, "abab"},
        // No argument for it, a zero, a percent sign of the text: all kept.
        {"%1 of %3", {"one"}, "one of %3"},
        {"%0 and 3% and %", {"x"}, "%0 and 3% and %"},
        {"", {"x"}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(CoreTexts::Fill(c.pattern, c.args), c.expected) << c.pattern;
}

// Every text the core writes has its translations in the table made from the .ts files: English
// for the Chinese ones, Chinese for the English ones; a language without one shows the text as
// written.
TEST(CoreTexts, EachCoreTextReadsInEachLanguage) {
    const std::string_view englishTexts[] = {
        kAppliedText, kKeepQuestionText, kNotEverySettingAppliedText, kGpuRefusedText, kOtherSettingsAppliedText,
        kHandBackThermalText, kHandBackTemperatureLostText, kFanBackText, kFanNotBackText, kReapplySkippedMessage,
        kLedServiceStartedText, kLedServiceStoppedText, kCurveTemperatureLostText, kCurveRefusedText};
    for (std::string_view text : englishTexts) {
        EXPECT_EQ(CoreTexts::Text(text, TextLanguage::AsWritten), text);
        EXPECT_EQ(CoreTexts::Text(text, TextLanguage::English), text);
        const std::string_view chinese = CoreTexts::Text(text, TextLanguage::Chinese);
        EXPECT_NE(chinese, text) << "no Chinese for: " << text;
        EXPECT_FALSE(chinese.empty()) << text;
        // The values go where the translation puts them: none may be lost.
        for (const char* place : {"%1", "%2", "%3", "%4"})
            EXPECT_EQ(text.find(place) == std::string_view::npos, chinese.find(place) == std::string_view::npos)
                << place << " in " << text << " / " << chinese;
    }
    EXPECT_EQ(CoreTexts::Text(kOverclockWarningText, TextLanguage::AsWritten), kOverclockWarningText);
    EXPECT_EQ(CoreTexts::Text(kOverclockWarningText, TextLanguage::Chinese), kOverclockWarningText);
    EXPECT_EQ(CoreTexts::Text(kOverclockWarningText, TextLanguage::English).substr(0, 8), "Warning:");
    EXPECT_EQ(CoreTexts::Text("not a text of the core", TextLanguage::Chinese), "not a text of the core");
}

// The sentences the core puts together read whole in the chosen language; in English they read
// exactly as they always have.
TEST(CoreTexts, SentencesTheCoreComposesFollowTheChosenLanguage) {
    FanHandBack hot{1, FanHandBackReason::ThermalLimit, 91, 88, {}};
    FanHandBack lost{0, FanHandBackReason::TemperatureLost, 0, 0, {}};
    lost.writes.Add(0, TuningOperation::FanAutomatic, 0, kNvNotSupported);
    lost.writes.Add(0, TuningOperation::FanSpeed, 40, kNvNoPermission);
    TuningReport refused;
    refused.Add(2, TuningOperation::PowerTarget, 90, kNvNotSupported);
    refused.Add(2, TuningOperation::GraphicsClockOffset, 50, kNvOk);
    const std::string refusedWrite = "  power target 90 %: " + StatusInWords(kNvNotSupported) + "\n";
    const std::string lostWrites = "automatic fan control, " + StatusInWords(kNvNotSupported) + "; fan speed 40 %, " +
                                   StatusInWords(kNvNoPermission);

    struct Case {
        TextLanguage language;
        std::string keep, hot, lost, refusals;
    };
    const std::string english[] = {
        "Keep these settings? They are reverted in 15 s.",
        "GPU 1 reached 91 C, its thermal limit of 88 C, while a fan was fixed below full speed: the fan is back under "
        "the card's own control.",
        "GPU 0's temperature could not be read 3 times in a row while a fan was fixed: the card refused to take the fan "
        "back: " + lostWrites + ". Run \"pyxtunectl fan auto\" or lower the card's load.",
        "Not every setting was applied.\n\nGPU 2 refused:\n" + refusedWrite + "\nThe other settings were applied."};
    const Case cases[] = {
        {TextLanguage::AsWritten, english[0], english[1], english[2], english[3]},
        {TextLanguage::English, english[0], english[1], english[2], english[3]},
        {TextLanguage::Chinese, "保留这些设置吗？15 秒后将自动恢复。",
         "风扇被固定在全速以下时，GPU 1 达到 91 °C，即其温度上限 88 °C：风扇已交还显卡自行控制。",
         "风扇被固定期间，连续 3 次无法读取 GPU 0 的温度：显卡拒绝收回风扇控制：" + lostWrites +
             "。请运行 \"pyxtunectl fan auto\" 或降低显卡负载。",
         "并非所有设置都已应用。\n\nGPU 2 拒绝了：\n" + refusedWrite + "\n其他设置已应用。"},
    };
    for (const Case& c : cases) {
        LanguageChosen chosen(c.language);
        const int language = static_cast<int>(c.language);
        EXPECT_EQ(KeepQuestion(15), c.keep) << language;
        EXPECT_EQ(DescribeHandBack(hot), c.hot) << language;
        EXPECT_EQ(DescribeHandBack(lost), c.lost) << language;
        EXPECT_EQ(DescribeRefusals(refused), c.refusals) << language;
    }
}

}  // namespace
}  // namespace pyx
