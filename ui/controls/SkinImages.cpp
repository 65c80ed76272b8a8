#include "ui/controls/SkinImages.h"

#include <QFile>
#include <QHash>

// Pulls the compiled image resource into every program that links the controls.
static void EnsureSkinResources()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(pyx_skin);
        return true;
    }();
    (void)once;
}

static QString& Language()
{
    static QString language;
    return language;
}

void SetSkinImageLanguage(const QString& language)
{
    Language() = language;
}

static QString SkinPath(int id)
{
    if (!Language().isEmpty()) {
        const QString translated = QStringLiteral(":/skin/%1/%2.png").arg(Language()).arg(id);
        if (QFile::exists(translated))
            return translated;
    }
    return QStringLiteral(":/skin/%1.png").arg(id);
}

bool HasSkinImage(int id)
{
    EnsureSkinResources();
    return id > 0 && QFile::exists(QStringLiteral(":/skin/%1.png").arg(id));
}

QImage LoadSkinImage(int id)
{
    EnsureSkinResources();
    // Per language: each keeps its own pictures of the captioned images.
    static QHash<QString, QHash<int, QImage>> cache;
    if (id <= 0)
        return QImage();
    QHash<int, QImage>& images = cache[Language()];
    auto it = images.constFind(id);
    if (it != images.constEnd())
        return *it;
    QImage img(SkinPath(id));
    if (!img.isNull())
        img = img.convertToFormat(img.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    images.insert(id, img);
    return img;
}
