// pyxtunectl as a user starts it, under the locales a user has: the core's texts read in the
// locale's language, as the window shows them.

#include <gtest/gtest.h>

#include "tests/cli/ProgramProcess.h"

namespace pyx::proctest {
namespace {

constexpr char kEnglishWarning[] = "Warning: overclocking a graphics card";
constexpr char kChineseWarning[] = "警告：对显卡进行超频";

TEST(CoreTextLanguageProcessTest, TheOverclockingWarningReadsInTheLocalesLanguage) {
    struct Case {
        std::optional<std::string> lang, lcMessages, lcAll;
        bool chinese;
    };
    const Case cases[] = {
        {"en_US.UTF-8", std::nullopt, std::nullopt, false},
        {"C", std::nullopt, std::nullopt, false},
        {"zh_CN.UTF-8", std::nullopt, std::nullopt, true},
        {"zh_TW.UTF-8", std::nullopt, std::nullopt, true},
        {std::nullopt, std::nullopt, std::nullopt, false},
        // LC_ALL decides over the rest, LC_MESSAGES over LANG; an empty one is not set.
        {"en_US.UTF-8", std::nullopt, "zh_CN.UTF-8", true},
        {"zh_CN.UTF-8", "C", std::nullopt, false},
        {"zh_CN.UTF-8", "", "", true},
    };
    test::TempFolder folder("pyx-language-");
    int index = 0;
    for (const Case& c : cases) {
        const std::string label = c.lang.value_or("(unset)") + " LC_MESSAGES=" + c.lcMessages.value_or("(unset)") +
                                  " LC_ALL=" + c.lcAll.value_or("(unset)");
        // Without --yes and a terminal the warning is shown and nothing is sent.
        const ProgramRun run = RunProgram(PYX_PYXTUNECTL, {"apply", "extreme"},
                                          {{"PYXTUNE_GPU_BACKEND", "sim"},
                                           {"PYXTUNE_SIM_STATE", (folder.Path() / "state.json").string()},
                                           {"LANG", c.lang},
                                           {"LC_MESSAGES", c.lcMessages},
                                           {"LC_ALL", c.lcAll},
                                           {"LANGUAGE", std::nullopt}},
                                          folder.Path() / ("run" + std::to_string(index++)));
        EXPECT_EQ(run.status, 2) << label << "\n" << run.err;
        EXPECT_NE(run.err.find(c.chinese ? kChineseWarning : kEnglishWarning), std::string::npos)
            << label << "\n" << run.err;
        EXPECT_EQ(run.err.find(c.chinese ? kEnglishWarning : kChineseWarning), std::string::npos) << label;
    }
}

}  // namespace
}  // namespace pyx::proctest
