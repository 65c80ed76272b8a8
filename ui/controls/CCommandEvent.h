#pragma once

#include <QEvent>
#include <QPointer>
#include <QWidget>

// A button click posted to the button's parent. It carries the control id and the button
// itself, so the parent can tell its buttons apart by either.
class CCommandEvent : public QEvent
{
public:
    // Kept clear of Qt's own event numbers: the user range plus the platform's command code.
    static constexpr QEvent::Type Command = static_cast<QEvent::Type>(QEvent::User + 0x0111);

    CCommandEvent(int controlId, QWidget* sender);

    int ControlId() const { return controlId; }
    // The button that was clicked; null if it was destroyed before the event arrived.
    QWidget* Sender() const { return sender.data(); }

private:
    int controlId;
    QPointer<QWidget> sender;
};
