#include "ui/controls/SkinImages.h"

#include <QFile>
#include <QHash>
#include <QString>

// Pulls the compiled image resource into every program that links the controls.
static void EnsureSkinResources()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(pyx_skin);
        return true;
    }();
    (void)once;
}

static QString SkinPath(int id)
{
    return QStringLiteral(":/skin/%1.png").arg(id);
}

bool HasSkinImage(int id)
{
    EnsureSkinResources();
    return id > 0 && QFile::exists(SkinPath(id));
}

QImage LoadSkinImage(int id)
{
    EnsureSkinResources();
    static QHash<int, QImage> cache;
    if (id <= 0)
        return QImage();
    auto it = cache.constFind(id);
    if (it != cache.constEnd())
        return *it;
    QImage img(SkinPath(id));
    if (!img.isNull())
        img = img.convertToFormat(img.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    cache.insert(id, img);
    return img;
}
