#include "ui/dialogs/DialogLook.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QWidget>

namespace pyx {

namespace {

// The skin's own colours: the window's ground, its panels' edges, the readout white and the
// Apply button's cyan-to-violet.
// Colours go through the palette, which changes no control's size. Only the push buttons,
// whose places are fixed, take a style sheet for their rounded, filled look, each its own: a
// sheet on the dialog would restyle every control under it and widen the radio buttons past
// their places.
constexpr char kButtons[] = R"(
QPushButton { background-color: #283044; color: #e4e9f2; border: 1px solid #3a4560;
              border-radius: 4px; padding: 1px 4px; }
QPushButton:hover { border-color: #37c4f2; }
QPushButton:pressed { background-color: #1f2636; }
QPushButton:default { background-color: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #2fc3f3, stop:1 #6b7cff);
                      color: #0c1018; border: 1px solid #2fc3f3; }
QPushButton:disabled { color: #6b7385; border-color: #2e374b; }
)";

}  // namespace

void ApplyDialogLook(QWidget& dialog) {
    QPalette palette = dialog.palette();
    const QColor ground(0x17, 0x1c, 0x27);
    const QColor text(0xe4, 0xe9, 0xf2);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, ground);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::Base, QColor(0x23, 0x2b, 0x3c));
        palette.setColor(group, QPalette::Button, QColor(0x28, 0x30, 0x44));
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::Highlight, QColor(0x2f, 0xc3, 0xf3));
    }
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6b, 0x73, 0x85));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6b, 0x73, 0x85));
    dialog.setPalette(palette);
    dialog.setAutoFillBackground(true);
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) button->setStyleSheet(QString::fromLatin1(kButtons));
}

void CentreOnOwner(QWidget& dialog, const QWidget* owner) {
    QRect frame = dialog.frameGeometry();
    const QWidget* window = owner != nullptr ? owner->window() : nullptr;
    QPoint centre;
    if (window != nullptr && window->isVisible() && !window->isMinimized()) {
        centre = window->frameGeometry().center();
    } else {
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) return;
        centre = screen->availableGeometry().center();
    }
    frame.moveCenter(centre);
    dialog.move(frame.topLeft());
}

}  // namespace pyx
