#include "ui/main/AppTranslator.h"

#include <QCoreApplication>

namespace pyx {

QString AppTranslator::TranslationFor(const QLocale& locale) {
    if (locale.language() == QLocale::Chinese) return {};
    return QStringLiteral(":/i18n/pyxtune_en.qm");
}

bool AppTranslator::Install(QCoreApplication& app, const QLocale& locale) {
    const QString file = TranslationFor(locale);
    if (file.isEmpty() || !translator_.load(file)) return false;
    return app.installTranslator(&translator_);
}

}  // namespace pyx
