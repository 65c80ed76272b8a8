#pragma once
#include <QString>

#include "ui/dialogs/CKeepDialog.h"

class QWidget;

namespace pyx {

// The few questions and notices the main window puts to the user. The program answers with
// message boxes; tests answer in their place.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // OK / Cancel with the warning icon; true only for OK.
    virtual bool AskOkCancel(QWidget* owner, const QString& text, const QString& caption) = 0;
    // OK with the information icon.
    virtual void ShowInformation(QWidget* owner, const QString& text, const QString& caption) = 0;
    // OK with the warning icon: something was done, not all of it.
    virtual void ShowWarning(QWidget* owner, const QString& text, const QString& caption) = 0;
    // The same warning shown without waiting for it: the caller (a timer) goes on at once.
    virtual void NotifyWarning(QWidget* owner, const QString& text, const QString& caption) = 0;
    // OK with the error icon.
    virtual void ShowError(QWidget* owner, const QString& text, const QString& caption) = 0;
    // Whether to keep an applied tuning: result is what the apply said; after seconds without
    // an answer the tuning is taken back (NoAnswer).
    virtual KeepAnswer AskKeep(QWidget* owner, const QString& result, int seconds) = 0;
};

}  // namespace pyx
