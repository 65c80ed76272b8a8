#pragma once

#include "ui/controls/ControlClock.h"

#include <QFont>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <functional>

// The program's own tooltip: a pale-yellow window that shows a control's help text next to
// the pointer once the pointer has rested on the control for 800 ms, polled every 300 ms.
// It also serves disabled controls (found through the main window), hides at any mouse
// button, and never takes the keyboard focus.
class CMPToolTip2 : public QWidget
{
    Q_OBJECT

public:
    struct ToolItem
    {
        QPointer<QWidget> control;
        QString text;
        // Sensitive area within the control; left 0 means the whole control.
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
        qint64 hoverStart = 0; // 0: the pointer has not been seen on the tool yet
    };

    struct TextLine
    {
        int first = 0;
        int last = 0;
    };

    // What the poll reads from the desktop. The defaults use the real cursor, buttons and
    // screen; tests put their own in.
    struct Environment
    {
        TickSource now;
        std::function<QPoint()> cursorPos;                // screen coordinates
        std::function<QWidget*(QPoint)> widgetAt;         // enabled widget under a screen point
        std::function<bool()> mouseButtonPressed;         // left/right down or pressed since last call
        std::function<QWidget*()> foregroundWindow;
        std::function<QRect()> screenRect;                // the area the tooltip must stay inside
        QSize cursorSize = QSize(32, 32);
    };

    static constexpr int kPollMs = 300;
    static constexpr qint64 kRestMs = 800;
    static constexpr QRgb kBackColor = 0xFFFFB5; // red 255, green 255, blue 181

    // mainWindow is the window whose children the tools are; the tooltip is its own
    // top-level window owned by it.
    explicit CMPToolTip2(QWidget* mainWindow);
    ~CMPToolTip2() override;

    // Registers a tool unless it is there already (same control for the whole control, or
    // same control, left and top).
    void AddTool(QWidget* control, const QString& text, int left = 0, int top = 0,
                 int width = 0, int height = 0);
    // Shows the text of tool index, or hides the tooltip for an index outside the list.
    void Select(int index);

    void SetTipFont(const QFont& f);
    void SetEnvironment(Environment env);
    // One poll step; the window's timer runs it every 300 ms.
    void OnTimer();
    void SetPolling(bool on);

    int Current() const { return current; }
    const QVector<ToolItem>& Tools() const { return tools; }
    const QVector<TextLine>& Lines() const { return lines; }
    // The rectangle the tooltip was last placed at (empty while hidden).
    QRect ShownRect() const { return shownRect; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Matches(const ToolItem& tool, QWidget* under, QPoint cursor) const;
    void HideTip();

    QPointer<QWidget> mainWindow;
    QVector<ToolItem> tools;
    int current = -1;
    QVector<TextLine> lines;
    QFont tipFont;
    int lineHeight = 0;
    QRect shownRect;
    QTimer timer;
    Environment env;
    bool pressSeen = false;
};
