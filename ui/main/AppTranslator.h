#pragma once
#include <QLocale>
#include <QString>
#include <QTranslator>

#include "platform/TextLanguage.h"

class QCoreApplication;

namespace pyx {

// The program's texts in the user's language. They are written in the program as they have
// always read: the overclocking warning and the About item in Chinese, the rest in English.
// A Chinese locale reads them all in Chinese, any other in English: the window's own texts
// through Qt's translator, the core's (app/CoreTexts.h) through the same translations made
// into a table, the captions painted into the skin images (ui/controls/SkinImages.h) through
// the set painted from the same translations.
class AppTranslator {
public:
    AppTranslator() = default;
    AppTranslator(const AppTranslator&) = delete;
    AppTranslator& operator=(const AppTranslator&) = delete;
    // The core goes back to its texts as written and the images to English: a translator that
    // is gone no longer decides.
    ~AppTranslator();

    static TextLanguage LanguageFor(const QLocale& locale);
    // The compiled translation a locale gets.
    static QString TranslationFor(const QLocale& locale);
    // Loads and installs the locale's translation, and gives the core and the images the same
    // language; false when it did not load.
    bool Install(QCoreApplication& app, const QLocale& locale);

private:
    QTranslator translator_;
    bool installed_ = false;
};

}  // namespace pyx
