#include "ui/dialogs/CMessageBox.h"

#include <QCoreApplication>

#include "ui/dialogs/DialogLook.h"

namespace pyx {

namespace {

// The texts come from the Qt-free core as written there; the translations know them by
// those words.
QString Translated(const QString& text) {
    return QCoreApplication::translate("Messages", text.toUtf8().constData());
}

}  // namespace

CMessageBox::CMessageBox(Icon icon, const QString& caption, const QString& text, StandardButtons buttons,
                         QWidget* owner)
    : QMessageBox(icon, caption, Translated(text), buttons, owner), owner_(owner) {
    ApplyDialogLook(*this);
}

void CMessageBox::showEvent(QShowEvent* event) {
    QMessageBox::showEvent(event);
    // Qt places a box by its size before the text has been laid out, which left it hanging
    // off the window's left edge; its size is final here.
    CentreOnOwner(*this, owner_);
}

bool CMessageBox::AskOkCancel(QWidget* owner, const QString& text, const QString& caption) {
    CMessageBox box(Warning, caption, text, Ok | Cancel, owner);
    box.setDefaultButton(Ok);
    return box.exec() == Ok;
}

void CMessageBox::Inform(QWidget* owner, const QString& text, const QString& caption) {
    CMessageBox box(Information, caption, text, Ok, owner);
    box.exec();
}

void CMessageBox::Error(QWidget* owner, const QString& text, const QString& caption) {
    CMessageBox box(Critical, caption, text, Ok, owner);
    box.exec();
}

void CMessageBox::Warn(QWidget* owner, const QString& text, const QString& caption) {
    CMessageBox box(Warning, caption, text, Ok, owner);
    box.exec();
}

void CMessageBox::WarnWithoutWaiting(QWidget* owner, const QString& text, const QString& caption) {
    auto* box = new CMessageBox(Warning, caption, text, Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

}  // namespace pyx
