#include "IconFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageWriter>

#include <cstdio>

namespace {

void PutLe16(QByteArray& out, quint16 value)
{
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>(value >> 8));
}

void PutLe32(QByteArray& out, quint32 value)
{
    PutLe16(out, static_cast<quint16>(value & 0xFFFF));
    PutLe16(out, static_cast<quint16>(value >> 16));
}

}  // namespace

bool IconFile::Write(const QString& path, const QList<QImage>& images)
{
    QList<QByteArray> pngs;
    for (const QImage& image : images) {
        if (image.width() > 256 || image.height() > 256) {
            std::fprintf(stderr, "%s: an icon is at most 256 pixels square\n", qPrintable(path));
            return false;
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setCompression(9);
        if (!writer.write(image.convertToFormat(QImage::Format_ARGB32))) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
            return false;
        }
        pngs.append(png);
    }
    // The directory (type 1: icon), one entry per image, then the images; 0 stands for 256.
    QByteArray out;
    PutLe16(out, 0);
    PutLe16(out, 1);
    PutLe16(out, static_cast<quint16>(images.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        out.append(static_cast<char>(images[i].width() & 0xFF));
        out.append(static_cast<char>(images[i].height() & 0xFF));
        out.append('\0');  // no palette
        out.append('\0');
        PutLe16(out, 1);   // colour planes
        PutLe16(out, 32);  // bits per pixel
        PutLe32(out, static_cast<quint32>(pngs[i].size()));
        PutLe32(out, offset);
        offset += static_cast<quint32>(pngs[i].size());
    }
    for (const QByteArray& png : pngs)
        out.append(png);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out) != out.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}
