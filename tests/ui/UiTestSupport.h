#pragma once

#include "ui/controls/CCommandEvent.h"
#include "ui/controls/CSliderEvent.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVector>
#include <QWidget>

// A parent window that records the notifications its controls post to it.
class RecordingParent : public QWidget
{
public:
    struct Note
    {
        int type;
        int id;
        int value;
        QWidget* sender;
    };

    QVector<Note> notes;

    // Delivers what was posted and returns the notes collected so far, then forgets them.
    QVector<Note> Take()
    {
        QCoreApplication::sendPostedEvents(this);
        QVector<Note> out = notes;
        notes.clear();
        return out;
    }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == CSliderEvent::Moving || e->type() == CSliderEvent::Moved) {
            const auto* s = static_cast<CSliderEvent*>(e);
            notes.push_back({e->type(), s->ControlId(), s->Position(), nullptr});
            return true;
        }
        if (e->type() == CCommandEvent::Command) {
            const auto* c = static_cast<CCommandEvent*>(e);
            notes.push_back({e->type(), c->ControlId(), 0, c->Sender()});
            return true;
        }
        return QWidget::event(e);
    }
};

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint local,
                      Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held = (type == QEvent::MouseButtonRelease) ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)),
                  type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

inline void SendKey(QWidget* w, int key)
{
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}
