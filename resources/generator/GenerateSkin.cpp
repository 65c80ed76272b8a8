// Draws the program's artwork into a folder and writes the Qt resource file that lists it.
// Usage: pyx_skin_generator <output folder>
//        pyx_skin_generator --app-icons <output folder>   the icon as <size>.png for the
//                                                         desktop's icon theme

#include "ArtKit.h"
#include "ControlArt.h"
#include "SkinPainter.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTextStream>

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

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool appIcons = argc == 3 && std::strcmp(argv[1], "--app-icons") == 0;
    if (argc != 2 && !appIcons) {
        std::fprintf(stderr, "usage: %s [--app-icons] <output folder>\n", argv[0]);
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

    QMap<int, QImage> images = ControlArt::All();
    for (int id : {130, 204, 205})
        images[id] = SkinPainter::Skin(id);

    QString qrc;
    QTextStream q(&qrc);
    q << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/skin\">\n";
    for (auto it = images.cbegin(); it != images.cend(); ++it) {
        const QString name = QStringLiteral("%1.png").arg(it.key());
        if (!WritePng(out, name, it.value()))
            return 1;
        q << "  <file>" << name << "</file>\n";
    }
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
