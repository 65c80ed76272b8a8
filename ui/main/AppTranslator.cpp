#include "ui/main/AppTranslator.h"

#include <QCoreApplication>

#include "app/CoreTexts.h"
#include "ui/controls/SkinImages.h"

namespace pyx {

AppTranslator::~AppTranslator() {
    if (!installed_) return;
    CoreTexts::SetLanguage(TextLanguage::AsWritten);
    SetSkinImageLanguage(QString());
}

TextLanguage AppTranslator::LanguageFor(const QLocale& locale) {
    return locale.language() == QLocale::Chinese ? TextLanguage::Chinese : TextLanguage::English;
}

QString AppTranslator::TranslationFor(const QLocale& locale) {
    return LanguageFor(locale) == TextLanguage::Chinese ? QStringLiteral(":/i18n/pyxtune_zh_CN.qm")
                                                        : QStringLiteral(":/i18n/pyxtune_en.qm");
}

bool AppTranslator::Install(QCoreApplication& app, const QLocale& locale) {
    if (!translator_.load(TranslationFor(locale)) || !app.installTranslator(&translator_)) return false;
    CoreTexts::SetLanguage(LanguageFor(locale));
    // The captions painted into the images follow: the language the translation names.
    SetSkinImageLanguage(translator_.language());
    installed_ = true;
    return true;
}

}  // namespace pyx
