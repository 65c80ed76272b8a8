// Draws the program's artwork into a folder and writes the Qt resource file that lists it.
// Usage: pyx_skin_generator [--translation <file.qm>]... <output folder>
//        pyx_skin_generator --app-icons <output folder>   the icon as <size>.png for the
//                                                         desktop's icon theme
//        pyx_skin_generator --windows-icon <file.ico>     the icon at Windows' sizes in one file
// Each translation adds the images whose captions it changes, painted in its language, under
// <language>/ (the language its .ts file names, "zh_CN"): the window takes an image from
// there under that language and the English one otherwise.

#include "ArtKit.h"
#include "ControlArt.h"
#include "IconFile.h"
#include "SkinPainter.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLocale>
#include <QTextStream>
#include <QTranslator>

#include <cstdio>
#include <cstring>

namespace {

bool WritePng(const QDir& out, const QString& name, const QImage& image)
{
    QImageWriter writer(out.filePath(name), "png");
    // Fixed settings so the same drawing always gives the same bytes.
    writer.setCompression(9);
    if (writer.write(image))
        return true;
    std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(name), qPrintable(writer.errorString()));
    return false;
}

// The sizes the desktop's icon theme looks in for an application's icon.
int WriteAppIcons(const QDir& out)
{
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        if (!WritePng(out, QStringLiteral("%1.png").arg(size), ControlArt::Icon(size)))
            return 1;
    return 0;
}

// The sizes Explorer, the taskbar, the Start menu and the installer look for.
int WriteWindowsIcon(const QString& path)
{
    QList<QImage> images;
    for (int size : {16, 24, 32, 48, 64, 256})
        images.append(ControlArt::Icon(size));
    return IconFile::Write(path, images) ? 0 : 1;
}

// Every picture of the window, in the language of the translation installed.
QMap<int, QImage> PaintAll()
{
    QMap<int, QImage> images = ControlArt::All();
    for (int id : {130, 204, 205})
        images[id] = SkinPainter::Skin(id);
    return images;
}

// The letters a language's captions need beyond the Latin fonts; Any for none.
QFontDatabase::WritingSystem WritingSystemOf(const QLocale& locale)
{
    switch (locale.script()) {
    case QLocale::SimplifiedHanScript: return QFontDatabase::SimplifiedChinese;
    case QLocale::TraditionalHanScript: return QFontDatabase::TraditionalChinese;
    default: return QFontDatabase::Any;
    }
}

bool WriteSet(const QDir& out, const QString& folder, const QMap<int, QImage>& images, QTextStream& qrc)
{
    for (auto it = images.cbegin(); it != images.cend(); ++it) {
        const QString name = folder.isEmpty() ? QStringLiteral("%1.png").arg(it.key())
                                              : QStringLiteral("%1/%2.png").arg(folder).arg(it.key());
        if (!WritePng(out, name, it.value()))
            return false;
        qrc << "  <file>" << name << "</file>\n";
    }
    return true;
}

// Paints the images again under the translation in `qmFile` and writes those that come out
// different, as the set of its language. A machine without a font for the language's letters
// paints none, rather than boxes: the window then shows the English images.
bool WriteTranslatedSet(const QDir& out, const QString& qmFile, const QMap<int, QImage>& english,
                        QTextStream& qrc)
{
    QTranslator translator;
    if (!translator.load(qmFile)) {
        std::fprintf(stderr, "cannot load the translation %s\n", qPrintable(qmFile));
        return false;
    }
    const QString language = translator.language();
    if (language.isEmpty()) {
        std::fprintf(stderr, "%s names no language\n", qPrintable(qmFile));
        return false;
    }
    // What an earlier run painted for the language may have lost its caption since.
    QDir(out.filePath(language)).removeRecursively();
    const QFontDatabase::WritingSystem letters = WritingSystemOf(QLocale(language));
    const QString family = letters == QFontDatabase::Any ? QString() : ArtKit::FamilyFor(letters);
    if (letters != QFontDatabase::Any && family.isEmpty()) {
        std::fprintf(stderr,
                     "warning: no font with the letters of %s (fonts-wqy-microhei has them): "
                     "the window shows its captions in English\n",
                     qPrintable(language));
        return true;
    }
    QCoreApplication::installTranslator(&translator);
    ArtKit::SetFallbackFamily(family);
    QMap<int, QImage> translated = PaintAll();
    ArtKit::SetFallbackFamily(QString());
    QCoreApplication::removeTranslator(&translator);
    for (auto it = translated.begin(); it != translated.end();) {
        if (it.value() == english.value(it.key()))
            it = translated.erase(it);
        else
            ++it;
    }
    if (translated.isEmpty())
        return true;
    if (!QDir().mkpath(out.filePath(language))) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.filePath(language)));
        return false;
    }
    return WriteSet(out, language, translated, qrc);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool appIcons = argc == 3 && std::strcmp(argv[1], "--app-icons") == 0;
    if (argc == 3 && std::strcmp(argv[1], "--windows-icon") == 0)
        return WriteWindowsIcon(QString::fromLocal8Bit(argv[2]));
    // Before the folder, only "--translation <file.qm>" pairs.
    bool usage = !appIcons && (argc < 2 || argc % 2 != 0);
    QStringList translations;
    for (int k = 1; !appIcons && !usage && k + 1 < argc; k += 2) {
        usage = std::strcmp(argv[k], "--translation") != 0;
        translations << QString::fromLocal8Bit(argv[k + 1]);
    }
    if (usage) {
        std::fprintf(stderr, "usage: %s [--translation <file.qm>]... <output folder>\n"
                             "       %s --app-icons <output folder>\n"
                             "       %s --windows-icon <file.ico>\n",
                     argv[0], argv[0], argv[0]);
        return 2;
    }
    const char* folder = argv[argc - 1];
    const QDir out(QString::fromLocal8Bit(folder));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", folder);
        return 1;
    }
    if (appIcons)
        return WriteAppIcons(out);
    ArtKit::LoadFonts();

    const QMap<int, QImage> images = PaintAll();

    QString qrc;
    QTextStream q(&qrc);
    q << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/skin\">\n";
    if (!WriteSet(out, QString(), images, q))
        return 1;
    for (const QString& translation : translations)
        if (!WriteTranslatedSet(out, translation, images, q))
            return 1;
    q << "</qresource>\n</RCC>\n";
    q.flush();

    const QString qrcPath = out.filePath(QStringLiteral("pyx_skin.qrc"));
    QFile f(qrcPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(qrc.toUtf8()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(qrcPath));
        return 1;
    }
    return 0;
}
