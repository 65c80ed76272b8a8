#pragma once
#include <QLocale>
#include <QString>
#include <QTranslator>

class QCoreApplication;

namespace pyx {

// The program's texts in the user's language. They are written in the program as they have
// always read: the overclocking warning and the About item in Chinese, the rest in English.
// Under a Chinese locale they are shown as written; under any other the English translation
// replaces the Chinese ones.
class AppTranslator {
public:
    // The compiled translation a locale gets; empty when the texts are shown as written.
    static QString TranslationFor(const QLocale& locale);
    // Loads and installs the locale's translation; false when it has none or it did not load.
    bool Install(QCoreApplication& app, const QLocale& locale);

private:
    QTranslator translator_;
};

}  // namespace pyx
