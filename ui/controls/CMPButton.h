#pragma once

#include "ui/controls/CMPWndBmp.h"
#include "ui/controls/ControlClock.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

// A push button drawn from the program's images: the normal picture, and the hot picture
// while hovered, pressed or checked. Create() gives it the size and outline of its normal
// picture. A click (left press and release within 2 s; the release may be anywhere) is
// posted to the parent as a CCommandEvent. As colour picker it reads the colour under the
// release point, ignoring the picker's dark ground.
class CMPButton : public QWidget, public CMPWndBmp
{
    Q_OBJECT

public:
    // The picker image's ground; releases on it pick nothing.
    static constexpr QRgb kPickerGround = 0x141414;
    // Where the picked colour is shown in the parent's client area.
    static constexpr QRect kSwatchRect = QRect(428, 520, 20, 19);
    static constexpr qint64 kLongPressMs = 2000;
    static constexpr int kMaxCaptionChars = 63;

    explicit CMPButton(QWidget* parent = nullptr, int controlId = 0);

    // Places the button at rect with the given images and caption, then takes the size and
    // outline of the normal image (its white border is cut away). Without a normal image the
    // button keeps rect and shows its caption only.
    void Create(int controlId, const QRect& rect, int normalId, int hotId = 0, int extraId = 0,
                const QString& caption = QString());

    // Switches the pictures (for example hot id as normal id to show a selected choice).
    void SetBitmaps(int normalId, int hotId, int extraId = 0);

    void SetText(const QString& text);
    QString Text() const { return caption; }

    void SetChecked(bool on);
    bool IsChecked() const { return checked; }
    bool IsHover() const { return hover; }
    bool IsPressed() const { return pressed; }

    void SetColorPick(bool on) { colorPick = on; }
    bool IsColorPick() const { return colorPick; }
    // The last colour picked; invalid until the first pick.
    QColor PickedColor() const { return pickedColor; }
    // Fills kSwatchRect with the picked colour; the parent calls it from its own paint so the
    // swatch survives the parent's repaints.
    void PaintSwatch(QPainter& parentPainter) const;

    void SetControlId(int id) { controlId = id; }
    int ControlId() const { return controlId; }

    // The image id the button shows now.
    int ShownBitmapId() const;

    void SetClock(TickSource clock) { now = std::move(clock); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Draw(QPainter& p, bool withMark) const;
    bool IsOverButton(QPoint local) const;
    void SetHover(bool on);
    bool PickAt(QPoint local);

    qint64 pressTick = 0;
    bool hover = false;
    bool pressed = false;
    bool checked = false;
    bool colorPick = false;
    QColor pickedColor;
    QPoint pickMark;
    bool hasPickMark = false;
    QString caption;
    int controlId = 0;
    TickSource now = SystemTickMs;
};
