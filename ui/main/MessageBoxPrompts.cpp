#include "ui/main/MessageBoxPrompts.h"

#include <QMessageBox>

namespace pyx {

bool MessageBoxPrompts::AskOkCancel(QWidget* owner, const QString& text, const QString& caption) {
    return QMessageBox::warning(owner, caption, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) ==
           QMessageBox::Ok;
}

void MessageBoxPrompts::ShowInformation(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox::information(owner, caption, text, QMessageBox::Ok);
}

void MessageBoxPrompts::ShowError(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox::critical(owner, caption, text, QMessageBox::Ok);
}

}  // namespace pyx
