#pragma once
#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace pyx {

// How the user answered the question whether to keep an applied tuning.
enum class KeepAnswer { Keep, Revert, NoAnswer };

// "Keep these settings? They are reverted in 15 s." with Keep and Revert, counting down once
// a second. Revert is the default button; Escape, the close box and the end of the count all
// revert, so a display the tuning hung, or a user who is not there, gets the old tuning back.
class CKeepDialog : public QDialog {
    Q_OBJECT

public:
    // result: what the apply said (the success text, or what the cards refused).
    CKeepDialog(const QString& result, int seconds, QWidget* owner);

    KeepAnswer Answer() const { return answer_; }
    int SecondsLeft() const { return secondsLeft_; }
    QPushButton* KeepButton() const { return keep_; }
    QPushButton* RevertButton() const { return revert_; }

    // Runs the dialog; the answer.
    static KeepAnswer Ask(QWidget* owner, const QString& result, int seconds);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Tick();
    void ShowQuestion();

    QWidget* owner_;
    QString result_;
    int secondsLeft_;
    KeepAnswer answer_ = KeepAnswer::Revert;
    QLabel* text_ = nullptr;
    QPushButton* keep_ = nullptr;
    QPushButton* revert_ = nullptr;
    QTimer second_;
};

}  // namespace pyx
