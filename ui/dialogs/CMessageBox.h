#pragma once
#include <QMessageBox>

namespace pyx {

// A message box in the program's look, centred on the window it speaks for (or on the screen
// when it has none), with its text in the user's language.
class CMessageBox : public QMessageBox {
    Q_OBJECT

public:
    CMessageBox(Icon icon, const QString& caption, const QString& text, StandardButtons buttons, QWidget* owner);

    // The three boxes the program shows; the first answers true only for OK.
    static bool AskOkCancel(QWidget* owner, const QString& text, const QString& caption);
    static void Inform(QWidget* owner, const QString& text, const QString& caption);
    static void Error(QWidget* owner, const QString& text, const QString& caption);
    static void Warn(QWidget* owner, const QString& text, const QString& caption);
    // A warning left on screen while the program goes on; it goes when its OK is pressed.
    static void WarnWithoutWaiting(QWidget* owner, const QString& text, const QString& caption);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* owner_;
};

}  // namespace pyx
