// Draws the program's artwork into a folder and writes the Qt resource file that lists it.
// Usage: pyx_skin_generator <output folder>

#include "ArtKit.h"
#include "ControlArt.h"
#include "SkinPainter.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    ArtKit::LoadFonts();

    QMap<int, QImage> images = ControlArt::All();
    for (int id : {130, 204, 205})
        images[id] = SkinPainter::Skin(id);

    QString qrc;
    QTextStream q(&qrc);
    q << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/skin\">\n";
    for (auto it = images.cbegin(); it != images.cend(); ++it) {
        const QString name = QStringLiteral("%1.png").arg(it.key());
        QImageWriter writer(out.filePath(name), "png");
        // Fixed settings so the same drawing always gives the same bytes.
        writer.setCompression(9);
        if (!writer.write(it.value())) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(name), qPrintable(writer.errorString()));
            return 1;
        }
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
