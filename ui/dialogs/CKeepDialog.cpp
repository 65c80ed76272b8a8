#include "ui/dialogs/CKeepDialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ProgramOptions.h"
#include "ui/dialogs/DialogLook.h"

namespace pyx {

CKeepDialog::CKeepDialog(const QString& result, int seconds, QWidget* owner)
    : QDialog(owner),
      owner_(owner),
      // The core's result comes as the core writes it, as it does to a message box.
      result_(QCoreApplication::translate("Messages", result.toUtf8().constData())),
      secondsLeft_(seconds) {
    setWindowTitle(QStringLiteral("Pyxtune"));
    // A question with a close box only: closing answers it (Revert); there is nothing to resize.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    text_->setMinimumWidth(320);
    keep_ = new QPushButton(tr("&Keep"), this);
    revert_ = new QPushButton(tr("&Revert"), this);
    revert_->setDefault(true);
    revert_->setAutoDefault(true);
    keep_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(keep_);
    buttons->addWidget(revert_);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    connect(keep_, &QPushButton::clicked, this, [this] {
        answer_ = KeepAnswer::Keep;
        accept();
    });
    // Escape and the close box reject as well: both leave the answer at Revert.
    connect(revert_, &QPushButton::clicked, this, &QDialog::reject);
    connect(&second_, &QTimer::timeout, this, [this] { Tick(); });
    second_.start(1000);
    ShowQuestion();
    ApplyDialogLook(*this);
}

void CKeepDialog::ShowQuestion() {
    const QString question = QString::fromStdString(KeepQuestion(secondsLeft_));
    text_->setText(result_.isEmpty() ? question : result_ + QStringLiteral("\n\n") + question);
}

void CKeepDialog::Tick() {
    if (--secondsLeft_ > 0) {
        ShowQuestion();
        return;
    }
    second_.stop();
    answer_ = KeepAnswer::NoAnswer;
    reject();
}

void CKeepDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnOwner(*this, owner_);
    revert_->setFocus();
}

KeepAnswer CKeepDialog::Ask(QWidget* owner, const QString& result, int seconds) {
    CKeepDialog dialog(result, seconds, owner);
    dialog.exec();
    return dialog.Answer();
}

}  // namespace pyx
