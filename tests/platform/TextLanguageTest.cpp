#include "platform/TextLanguage.h"

#include <gtest/gtest.h>

namespace {

TEST(TextLanguage, ALocaleNameReadsChineseOnlyForChinese) {
    struct Case {
        const char* name;
        TextLanguage expected;
    };
    const Case cases[] = {
        {"zh_CN.UTF-8", TextLanguage::Chinese}, {"zh_TW.UTF-8", TextLanguage::Chinese}, {"zh", TextLanguage::Chinese},
        {"zh_HK.Big5HKSCS", TextLanguage::Chinese}, {"ZH_cn", TextLanguage::Chinese}, {"zh@pinyin", TextLanguage::Chinese},
        {"en_US.UTF-8", TextLanguage::English}, {"C", TextLanguage::English}, {"C.UTF-8", TextLanguage::English},
        {"POSIX", TextLanguage::English}, {"", TextLanguage::English}, {"zha_CN", TextLanguage::English},
        {"de_DE.UTF-8", TextLanguage::English},
    };
    for (const Case& c : cases) EXPECT_EQ(LanguageOfLocaleName(c.name), c.expected) << c.name;
}

}  // namespace
