#pragma once
#include <QHash>
#include <QImage>
#include <QRegion>

#include "ui/main/MainWindowLayout.h"

class QWidget;

namespace pyx {

// The window's face: one skin image, the window shaped to its outline. Outlines are kept per
// skin, as working one out takes a pass over every pixel.
class MainWindowSkin {
public:
    explicit MainWindowSkin(QWidget& window) : window_(window) {}

    void Apply(int bitmapId);
    int Id() const { return id_; }
    const QImage& Image() const { return image_; }

private:
    QWidget& window_;
    int id_ = kSkinNormal;
    QImage image_;
    QHash<int, QRegion> regions_;
};

}  // namespace pyx
