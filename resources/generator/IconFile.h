#pragma once

#include <QImage>
#include <QList>
#include <QString>

// A Windows icon file (.ico) holding the same picture at several sizes, each stored as PNG,
// which Windows reads from Vista on. Qt's own icon writer stores one size per file, and
// Explorer, the taskbar and the installer each pick a different one.
class IconFile {
public:
    // Writes the images, each at most 256 pixels square; false with the reason on stderr.
    static bool Write(const QString& path, const QList<QImage>& images);
};
