#include "ui/main/MessageBoxPrompts.h"

#include "ui/dialogs/CMessageBox.h"

namespace pyx {

bool MessageBoxPrompts::AskOkCancel(QWidget* owner, const QString& text, const QString& caption) {
    return CMessageBox::AskOkCancel(owner, text, caption);
}

void MessageBoxPrompts::ShowInformation(QWidget* owner, const QString& text, const QString& caption) {
    CMessageBox::Inform(owner, text, caption);
}

void MessageBoxPrompts::ShowWarning(QWidget* owner, const QString& text, const QString& caption) {
    CMessageBox::Warn(owner, text, caption);
}

void MessageBoxPrompts::NotifyWarning(QWidget* owner, const QString& text, const QString& caption) {
    CMessageBox::WarnWithoutWaiting(owner, text, caption);
}

void MessageBoxPrompts::ShowError(QWidget* owner, const QString& text, const QString& caption) {
    CMessageBox::Error(owner, text, caption);
}

KeepAnswer MessageBoxPrompts::AskKeep(QWidget* owner, const QString& result, int seconds) {
    return CKeepDialog::Ask(owner, result, seconds);
}

}  // namespace pyx
