#include "ui/controls/CMPToolTip2.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cstdlib>

namespace {

// A line as it is shown: a carriage return before the line feed is part of the stored line
// but has no glyph worth drawing or measuring.
QString Visible(const QString& text, const CMPToolTip2::TextLine& line)
{
    QString s = text.mid(line.first, line.last - line.first + 1);
    while (s.endsWith(QLatin1Char('\r')))
        s.chop(1);
    return s;
}

} // namespace

CMPToolTip2::CMPToolTip2(QWidget* main)
    : QWidget(main, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      mainWindow(main)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    tipFont = font();
    SetEnvironment(Environment());
    // Button presses anywhere in the program hide the tip at the next poll, even a press
    // that is already over by then.
    qApp->installEventFilter(this);
    connect(&timer, &QTimer::timeout, this, &CMPToolTip2::OnTimer);
    timer.start(kPollMs);
}

CMPToolTip2::~CMPToolTip2()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void CMPToolTip2::SetEnvironment(Environment e)
{
    if (!e.now)
        e.now = SystemTickMs;
    if (!e.cursorPos)
        e.cursorPos = [] { return QCursor::pos(); };
    if (!e.widgetAt)
        e.widgetAt = [](QPoint p) { return QApplication::widgetAt(p); };
    if (!e.mouseButtonPressed) {
        e.mouseButtonPressed = [this] {
            const bool down = QGuiApplication::mouseButtons() & (Qt::LeftButton | Qt::RightButton);
            const bool seen = pressSeen;
            pressSeen = false;
            return down || seen;
        };
    }
    if (!e.foregroundWindow)
        e.foregroundWindow = [] { return QApplication::activeWindow(); };
    if (!e.screenRect) {
        e.screenRect = [this] {
            QScreen* s = QGuiApplication::screenAt(env.cursorPos());
            if (!s)
                s = QGuiApplication::primaryScreen();
            return s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
        };
    }
    env = std::move(e);
}

void CMPToolTip2::SetPolling(bool on)
{
    if (on) {
        timer.start(kPollMs);
        return;
    }
    timer.stop();
    // No poll would take a shown tip away: the window went to the notification area under it.
    Select(-1);
}

void CMPToolTip2::SetTipFont(const QFont& f)
{
    tipFont = f;
    setFont(f);
}

bool CMPToolTip2::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton || me->button() == Qt::RightButton)
            pressSeen = true;
    }
    return QWidget::eventFilter(watched, event);
}

void CMPToolTip2::AddTool(QWidget* control, const QString& text, int left, int top, int w, int h)
{
    for (const ToolItem& t : tools) {
        if (t.control != control)
            continue;
        if (left == 0 || (t.left == left && t.top == top))
            return;
    }
    ToolItem item;
    item.control = control;
    item.text = text;
    item.left = left;
    item.top = top;
    item.width = w;
    item.height = h;
    tools.push_back(item);
}

bool CMPToolTip2::Matches(const ToolItem& tool, QWidget* under, QPoint cursor) const
{
    QWidget* control = tool.control.data();
    if (!control || !control->isVisible())
        return false;
    if (control->isEnabled()) {
        if (under != control)
            return false;
        if (tool.left == 0)
            return true;
        const QPoint origin = control->mapToGlobal(QPoint(0, 0));
        const int x0 = origin.x() + tool.left;
        const int y0 = origin.y() + tool.top;
        return cursor.x() > x0 && cursor.x() < x0 + tool.width
            && cursor.y() > y0 && cursor.y() < y0 + tool.height;
    }
    // A disabled control is looked up among the main window's children, and only while
    // the program is in front.
    if (!mainWindow)
        return false;
    QWidget* child = mainWindow->childAt(mainWindow->mapFromGlobal(cursor));
    while (child && child->parentWidget() != mainWindow)
        child = child->parentWidget();
    if (child != control)
        return false;
    QWidget* front = env.foregroundWindow();
    return front == mainWindow || front == this;
}

void CMPToolTip2::OnTimer()
{
    const QPoint cursor = env.cursorPos();
    // Outside the program no widget is found; then no tool matches and the tip goes away.
    QWidget* under = env.widgetAt(cursor);
    const qint64 now = env.now();
    const bool buttonPressed = env.mouseButtonPressed();
    if (tools.isEmpty() || buttonPressed) {
        Select(-1);
        return;
    }
    for (int i = 0; i < tools.size(); ++i) {
        ToolItem& tool = tools[i];
        if (!Matches(tool, under, cursor))
            continue;
        if (tool.hoverStart == 0) {
            tool.hoverStart = now;
            HideTip();
        } else if (std::llabs(now - tool.hoverStart) >= kRestMs) {
            Select(i);
        }
        return;
    }
    Select(-1);
}

void CMPToolTip2::HideTip()
{
    hide();
    shownRect = QRect();
}

void CMPToolTip2::Select(int index)
{
    if (index < 0 || index >= tools.size() || index == current) {
        if (index == current || current < 0 || current >= tools.size())
            return;
        tools[current].hoverStart = 0;
        current = -1;
        HideTip();
        return;
    }
    if (current >= 0 && current < tools.size())
        tools[current].hoverStart = 0;
    current = index;
    const QString& text = tools[index].text;
    lines.clear();
    int start = 0;
    for (int i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == QLatin1Char('\n')) {
            if (i > start)
                lines.push_back(TextLine{start, i - 1});
            start = i + 1;
        }
    }
    if (lines.isEmpty()) {
        HideTip();
        return;
    }

    const QFontMetrics fm(tipFont);
    lineHeight = fm.height();
    int maxWidth = 0;
    for (const TextLine& line : lines)
        maxWidth = std::max(maxWidth, fm.horizontalAdvance(Visible(text, line)));

    const QPoint c = env.cursorPos();
    const QRect screen = env.screenRect();
    const int n = static_cast<int>(lines.size());
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    // Right of and below the pointer, unless that would leave the screen.
    int left = c.x() + 5;
    if (c.x() + env.cursorSize.width() + maxWidth + 5 > screenRight)
        left = c.x() - maxWidth - 5;
    int top = c.y() + env.cursorSize.height() / 2 + 5;
    if (c.y() + env.cursorSize.height() + n * lineHeight + 5 > screenBottom)
        top = c.y() - n * lineHeight - 5;
    shownRect = QRect(left, top, maxWidth + 10, n * lineHeight + 1);
    setGeometry(shownRect);
    show();
    update();
}

void CMPToolTip2::paintEvent(QPaintEvent*)
{
    if (current < 0 || current >= tools.size())
        return;
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgb(kBackColor));
    p.setFont(tipFont);
    p.setPen(Qt::black);
    const QString& text = tools[current].text;
    for (int k = 0; k < lines.size(); ++k) {
        const QRect r(3, k * lineHeight, width() - 3, lineHeight);
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Visible(text, lines[k]));
    }
}
