#pragma once

#include <QEvent>
#include <QImage>
#include <QRect>
#include <QWidget>

// The skinned vertical gauge of the main window. It paints the parent's skin under itself
// (the parent keeps its skin image in the dynamic property "BmpProp", a QImage or QPixmap),
// then the filled track (144) below the thumb, the empty track (145) above it, and the thumb
// (146, grey 147 while disabled). Value changes are posted to the parent as CSliderEvent:
// Moving while dragged, Moved on release and after a key.
class CBitmapSlider : public QWidget
{
    Q_OBJECT

public:
    explicit CBitmapSlider(QWidget* parent = nullptr, int controlId = 0);

    void SetControlId(int id) { controlId = id; }
    int ControlId() const { return controlId; }

    // Loads the thumb image and takes the control's size. Without the image the slider
    // paints background and tracks only.
    void SetThumbBitmap();
    void SetVertical(bool on = true) { vertical = on; }
    bool IsVertical() const { return vertical; }

    // Stores the range; the position is not clamped until the next SetPos or drag.
    void SetRange(int minimum, int maximum);
    // Sets the position, lowered to the maximum and then raised to the minimum, and repaints.
    void SetPos(int value);
    int GetPos() const { return position; }
    int GetRangeMin() const { return minimum; }
    int GetRangeMax() const { return maximum; }
    void SetPageSize(int size) { pageSize = size; }
    bool HasThumb() const { return hasThumb; }
    bool IsTracking() const { return tracking; }

    // Thumb centre, in pixels from the top, for a value; and the value for a thumb centre.
    // An empty range (maximum not above minimum) or a control no taller than the thumb puts
    // the thumb at the bottom and reads as the minimum.
    int PixelOfPosition(int value) const;
    int PositionOfPixel(int y) const;

    const QImage& ThumbMask() const { return thumbMask; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void TrackTo(int pointerY);
    void PostToParent(QEvent::Type type);
    void TakeClientSize();
    static QImage PrepareThumb(const QImage& image, QImage* mask);

    int maximum = 100;
    int minimum = 0;
    int position = 0;
    int pageSize = 20;
    QRect clientRect;
    int width = 0;
    int height = 0;
    int thumbWidth = 0;
    int thumbHeight = 0;
    int grabOffset = 0;
    bool vertical = false;
    bool hasThumb = false;
    bool tracking = false;
    QImage thumbImage;
    QImage thumbMask;
    QImage greyThumbImage;
    int controlId = 0;
};
