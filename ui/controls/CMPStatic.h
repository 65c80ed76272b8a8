#pragma once

#include "ui/controls/CMPWndBmp.h"

#include <QColor>
#include <QString>
#include <QWidget>

// A readout label: a filled box with slightly rounded corners and right-aligned text
// (centred when asked), vertically centred on one line. Mouse input passes through to the
// parent, so the window can still be dragged by its readouts.
class CMPStatic : public QWidget, public CMPWndBmp
{
    Q_OBJECT

public:
    explicit CMPStatic(QWidget* parent = nullptr, int controlId = 0);

    void SetText(const QString& text);
    QString Text() const { return text; }

    void SetBackColor(QColor c) { backColor = c; update(); }
    void SetTextColor(QColor c) { textColor = c; update(); }
    QColor BackColor() const { return backColor; }
    QColor TextColor() const { return textColor; }

    // Centred text instead of right-aligned.
    void SetCentered(bool on) { centered = on; update(); }
    bool IsCentered() const { return centered; }

    void SetControlId(int id) { controlId = id; }
    int ControlId() const { return controlId; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QColor backColor = QColor(0, 0, 0);
    QColor textColor = QColor(0xF5, 0xF5, 0xF5);
    QString text;
    bool centered = false;
    int controlId = 0;
};
