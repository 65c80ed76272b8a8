#pragma once
#include "ui/main/UserPrompts.h"

namespace pyx {

// The user prompts as modal message boxes.
class MessageBoxPrompts : public UserPrompts {
public:
    bool AskOkCancel(QWidget* owner, const QString& text, const QString& caption) override;
    void ShowInformation(QWidget* owner, const QString& text, const QString& caption) override;
    void ShowWarning(QWidget* owner, const QString& text, const QString& caption) override;
    void NotifyWarning(QWidget* owner, const QString& text, const QString& caption) override;
    void ShowError(QWidget* owner, const QString& text, const QString& caption) override;
    KeepAnswer AskKeep(QWidget* owner, const QString& result, int seconds) override;
};

}  // namespace pyx
