#pragma once

class QWidget;

namespace pyx {

// The main window's colours for everything else the program opens: message boxes, the
// profile, settings, LED service and About dialogs. A stock grey box beside the dark skinned
// window read as another program's.
// Call it once the dialog's buttons are made.
void ApplyDialogLook(QWidget& dialog);

// Puts a top-level dialog in the middle of its owner's window; without an owner, in the
// middle of the screen the pointer is on. Call once the dialog has its final size.
void CentreOnOwner(QWidget& dialog, const QWidget* owner);

}  // namespace pyx
