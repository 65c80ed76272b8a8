#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <iterator>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "MainWindowTestWorld.h"

#include "app/AppCore.h"
#include "app/CoreTexts.h"
#include "app/FanCurveEngine.h"
#include "app/FanSafety.h"
#include "app/LedService.h"
#include "app/ProgramOptions.h"
#include "app/ReapplyGuard.h"
#include "app/SettingsLocation.h"
#include "app/TuningController.h"
#include "app/TuningRanges.h"
#include "app/TuningReport.h"
#include "cli/KeepPrompt.h"
#include "ui/controls/SkinImages.h"
#include "ui/main/AppTranslator.h"
#include "ui/main/CoreMessageTexts.h"
#include "ui/main/MainWindowLayout.h"

namespace pyx {
namespace {

bool HasChinese(const QString& text) { return text.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]"))); }

QString InMessages(const char* text) { return QCoreApplication::translate("Messages", text); }

// One message of a .ts file, as Qt Linguist wrote it.
struct TsMessage {
    QString context, source, translation;
    bool finished = false;  // no type="unfinished" (or vanished, obsolete) on the translation
};

// The text of the element the reader is on; Linguist writes control characters as
// <byte value="xd"/>.
QString ElementText(QXmlStreamReader& xml) {
    QString text;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isCharacters()) text += xml.text();
        if (xml.isStartElement() && xml.name() == QStringLiteral("byte"))
            text += QChar(xml.attributes().value(QStringLiteral("value")).mid(1).toUInt(nullptr, 16));
        if (xml.isEndElement() && xml.name() != QStringLiteral("byte")) break;
    }
    return text;
}

std::vector<TsMessage> ReadTs(const char* name) {
    QFile file(QStringLiteral(PYX_TRANSLATIONS_DIR "/") + QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    QXmlStreamReader xml(&file);
    std::vector<TsMessage> messages;
    QString context;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QStringLiteral("name")) context = xml.readElementText();
        if (xml.name() == QStringLiteral("message")) messages.push_back({context, {}, {}, false});
        if (xml.name() == QStringLiteral("source")) messages.back().source = ElementText(xml);
        if (xml.name() == QStringLiteral("translation")) {
            messages.back().finished = !xml.attributes().hasAttribute(QStringLiteral("type"));
            messages.back().translation = ElementText(xml);
        }
    }
    EXPECT_FALSE(xml.hasError()) << name << ": " << xml.errorString().toStdString();
    return messages;
}

// The texts of the window that each translation knows: context and source.
std::vector<std::pair<QString, QString>> KnownTexts(const std::vector<TsMessage>& messages) {
    std::vector<std::pair<QString, QString>> known;
    for (const TsMessage& m : messages) known.emplace_back(m.context, m.source);
    std::sort(known.begin(), known.end());
    return known;
}

// The captions the skin generator marks for translation, as its sources write them.
std::set<QString> SkinCaptions() {
    static const QRegularExpression mark(
        QStringLiteral(R"re((?:QT_TRANSLATE_NOOP|translate)\(\s*"Skin",\s*"((?:[^"\\]|\\.)*)"\s*\))re"));
    const QDir generator(QStringLiteral(PYX_SKIN_GENERATOR_DIR));
    std::set<QString> captions;
    for (const QString& name : generator.entryList({QStringLiteral("*.cpp")}, QDir::Files)) {
        QFile file(generator.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        for (const QRegularExpressionMatch& m : mark.globalMatch(QString::fromUtf8(file.readAll())))
            captions.insert(m.captured(1));
    }
    return captions;
}

// The picture a path of the compiled artwork holds, in the form LoadSkinImage gives.
QImage Embedded(const QString& path) {
    const QImage image(path);
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

TEST(Translation, EachLocaleGetsItsLanguageForTheWindowAndTheCore) {
    struct Case {
        QLocale locale;
        QString file;
        TextLanguage language;
    };
    const Case cases[] = {
        {QLocale(QLocale::Chinese, QLocale::China), QStringLiteral(":/i18n/pyxtune_zh_CN.qm"), TextLanguage::Chinese},
        {QLocale(QLocale::Chinese, QLocale::Taiwan), QStringLiteral(":/i18n/pyxtune_zh_CN.qm"), TextLanguage::Chinese},
        {QLocale(QLocale::English, QLocale::UnitedStates), QStringLiteral(":/i18n/pyxtune_en.qm"), TextLanguage::English},
        {QLocale(QLocale::German), QStringLiteral(":/i18n/pyxtune_en.qm"), TextLanguage::English},
    };
    for (const Case& c : cases) {
        const std::string name = c.locale.name().toStdString();
        EXPECT_EQ(AppTranslator::TranslationFor(c.locale), c.file) << name;
        EXPECT_EQ(AppTranslator::LanguageFor(c.locale), c.language) << name;
        {
            AppTranslator translator;
            EXPECT_TRUE(translator.Install(*QCoreApplication::instance(), c.locale)) << name;
            EXPECT_EQ(CoreTexts::Language(), c.language) << name;
            EXPECT_EQ(InMessages(kOverclockWarningText).startsWith(QStringLiteral("Warning:")),
                      c.language == TextLanguage::English)
                << name;
        }
        // Gone, it decides nothing: the texts read as written again.
        EXPECT_EQ(CoreTexts::Language(), TextLanguage::AsWritten) << name;
        EXPECT_EQ(InMessages(kOverclockWarningText), QString::fromUtf8(kOverclockWarningText)) << name;
    }
}

// Both translations know the same texts, and each is finished for what its language needs:
// Chinese for every English text, English for every Chinese one.
TEST(Translation, EachTranslationCoversEveryTextOfTheOtherLanguage) {
    const std::vector<TsMessage> english = ReadTs("pyxtune_en.ts");
    const std::vector<TsMessage> chinese = ReadTs("pyxtune_zh_CN.ts");
    EXPECT_EQ(KnownTexts(english), KnownTexts(chinese));
    EXPECT_GT(chinese.size(), CoreMessageTexts().size());
    for (const TsMessage& m : chinese) {
        const std::string label = (m.context + QStringLiteral(": ") + m.source).toStdString();
        EXPECT_TRUE(m.finished) << "unfinished in zh_CN: " << label;
        EXPECT_FALSE(m.translation.isEmpty()) << label;
        if (!HasChinese(m.source)) {
            EXPECT_NE(m.translation, m.source) << "not translated: " << label;
        }
    }
    for (const TsMessage& m : english)
        if (HasChinese(m.source)) {
            EXPECT_TRUE(m.finished) << m.source.toStdString();
            EXPECT_FALSE(HasChinese(m.translation)) << m.source.toStdString();
        }
    // Every text of the core's list is in both, under the context the message boxes use.
    const std::vector<std::pair<QString, QString>> known = KnownTexts(chinese);
    for (const char* entry : CoreMessageTexts()) {
        const std::pair<QString, QString> text{QStringLiteral("Messages"), QString::fromUtf8(entry)};
        EXPECT_TRUE(std::binary_search(known.begin(), known.end(), text)) << entry;
    }
    // The captions painted into the images are those the skin generator marks, no more and no
    // fewer: one left out would be painted in English.
    std::set<QString> translatedCaptions;
    for (const auto& [context, source] : known)
        if (context == QStringLiteral("Skin")) translatedCaptions.insert(source);
    const std::set<QString> marked = SkinCaptions();
    EXPECT_TRUE(marked.count(QStringLiteral("GPU CLOCK")) == 1 && marked.count(QStringLiteral("APPLY")) == 1)
        << "the generator's marks were not found";
    EXPECT_EQ(translatedCaptions, marked);
}

// The window's captioned images come in the language of its texts; an image without captions
// is the English one in every language.
TEST(Translation, TheWindowShowsTheImagesOfItsLanguage) {
    struct Case {
        QLocale locale;
        QString set;  // where the captioned images are painted; empty for the English ones
    };
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), QString()},
        {QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("zh_CN/")},
    };
    for (const Case& c : cases) {
        const std::string name = c.locale.name().toStdString();
        AppTranslator translator;
        ASSERT_TRUE(translator.Install(*QCoreApplication::instance(), c.locale)) << name;
        MainWindowWorld world(sim::SimScenario::DefaultJson());
        ASSERT_TRUE(world.Open(false)) << name;
        const MainWindowSkin& face = world.window->Skin();
        const QImage english = Embedded(QStringLiteral(":/skin/%1.png").arg(face.Id()));
        EXPECT_EQ(face.Image(), Embedded(QStringLiteral(":/skin/%1%2.png").arg(c.set).arg(face.Id()))) << name;
        EXPECT_EQ(face.Image() == english, c.set.isEmpty()) << name;
        EXPECT_EQ(LoadSkinImage(154), Embedded(QStringLiteral(":/skin/%1%2.png").arg(c.set).arg(154))) << name;
        EXPECT_EQ(LoadSkinImage(146), Embedded(QStringLiteral(":/skin/146.png"))) << name;
    }
    // Only the captioned images are painted again, each the size of its English one.
    const QStringList chinese = QDir(QStringLiteral(":/skin/zh_CN")).entryList(QDir::Files);
    EXPECT_TRUE(chinese.contains(QStringLiteral("130.png"))) << chinese.join(u' ').toStdString();
    EXPECT_FALSE(chinese.contains(QStringLiteral("146.png")));
    for (const QString& file : chinese)
        EXPECT_EQ(QImage(QStringLiteral(":/skin/zh_CN/") + file).size(),
                  QImage(QStringLiteral(":/skin/") + file).size())
            << file.toStdString();
}

// What a user of each language reads of every text the window knows: never nothing, all in the
// one language; the core reads the same translations from its own table.
TEST(Translation, EveryTextOfTheWindowReadsInTheLocalesLanguage) {
    const std::vector<TsMessage> known = ReadTs("pyxtune_en.ts");
    for (const TextLanguage language : {TextLanguage::English, TextLanguage::Chinese}) {
        AppTranslator translator;
        ASSERT_TRUE(translator.Install(*QCoreApplication::instance(),
                                       language == TextLanguage::Chinese ? QLocale(QLocale::Chinese, QLocale::China)
                                                                         : QLocale(QLocale::English)));
        for (const TsMessage& m : known) {
            const QByteArray context = m.context.toUtf8();
            const QByteArray source = m.source.toUtf8();
            const QString shown = QCoreApplication::translate(context.constData(), source.constData());
            const std::string label = m.context.toStdString() + ": " + source.toStdString();
            EXPECT_FALSE(shown.isEmpty()) << label;
            if (language == TextLanguage::English) {
                EXPECT_FALSE(HasChinese(shown)) << label;
            } else if (!HasChinese(m.source)) {
                EXPECT_NE(shown, m.source) << label;
            }
        }
        for (const char* entry : CoreMessageTexts())
            EXPECT_EQ(QString::fromUtf8(CoreTexts::Text(entry, language)), InMessages(entry)) << entry;
    }
}

TEST(Translation, EveryTextTheCoreShowsIsListedForTheTranslators) {
    // The list the translation tools read must hold the core's texts word for word, or a
    // message box would look for a translation that was never made.
    const std::string_view coreTexts[] = {
        kOverclockWarningText, kAppliedText, kOtherUserMessage, kOtherUserNamedMessage, kAddFontFailedMessage, kNotKeplerText, kBoostClockZeroText,
        kKeepQuestionText, kNotEverySettingAppliedText, kGpuRefusedText, kOtherSettingsAppliedText, kHandBackThermalText,
        kHandBackTemperatureLostText, kFanBackText, kFanNotBackText, kReapplySkippedMessage, kLedServiceStartedText,
        kLedServiceStoppedText, kSettingsNoPlaceText, kSettingsLinkText,
        kSettingsNotFolderText, kSettingsOtherOwnerText, kSettingsOthersMayWriteText, kSettingsUnexaminedText,
        kContinuePromptText, kKeepPromptText, kCurveTemperatureLostText, kCurveRefusedText};
    for (std::string_view text : coreTexts) {
        bool listed = false;
        for (const char* entry : CoreMessageTexts()) listed = listed || text == entry;
        EXPECT_TRUE(listed) << text;
    }
    EXPECT_EQ(std::size(coreTexts), CoreMessageTexts().size()) << "a listed text the core no longer writes";

    AppTranslator english;
    ASSERT_TRUE(english.Install(*QCoreApplication::instance(), QLocale(QLocale::German)));
    EXPECT_EQ(QCoreApplication::translate("pyx::CVornDlg", "关于 Vorn(&A)..."), QStringLiteral("&About Vorn..."));
    EXPECT_EQ(QCoreApplication::translate("pyx::CAboutDlg", "关于 Vorn"), QStringLiteral("About Vorn"));
}

}  // namespace
}  // namespace pyx
