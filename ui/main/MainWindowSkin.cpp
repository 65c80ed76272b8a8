#include "ui/main/MainWindowSkin.h"

#include <QWidget>

#include "ui/controls/CBmpRgn.h"
#include "ui/controls/SkinImages.h"

namespace pyx {

namespace {
constexpr QRgb kTransparent = 0xFFFFFF;
constexpr int kRightInset = 2;
}  // namespace

void MainWindowSkin::Apply(int bitmapId) {
    // The same skin again (the timer's repair while in the background): the outline, the
    // image and what the window system holds of it are all in place. Repainting the whole face
    // every second was most of what an idle window cost.
    if (bitmapId == id_ && !image_.isNull()) return;
    id_ = bitmapId;
    const QImage image = LoadSkinImage(bitmapId);
    if (image.isNull()) return;
    auto cached = regions_.find(bitmapId);
    if (cached == regions_.end())
        cached = regions_.insert(bitmapId, CBmpRgn::BuildRegion(image, kTransparent, 0, kRightInset));
    window_.resize(image.size());
    window_.setMask(cached.value());
    image_ = image;
    window_.setProperty("BmpProp", image_);
    window_.update();
}

}  // namespace pyx
