// The question whether to keep an applied tuning: only Keep keeps; the default button, Escape,
// the close box and the end of the count take the tuning back.
#include <gtest/gtest.h>

#include <functional>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "ui/dialogs/CKeepDialog.h"

using namespace pyx;

namespace {

QString ShownText(const CKeepDialog& dialog) { return dialog.findChild<QLabel*>()->text(); }

void Press(QWidget& widget, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &press);
}

}  // namespace

TEST(DialogKeep, OnlyKeepKeepsAndTheCountEndsInARevert)
{
    struct Case {
        const char* what;
        std::function<void(CKeepDialog&)> act;  // once the dialog runs
        KeepAnswer answer;
    };
    const Case cases[] = {
        {"Keep", [](CKeepDialog& d) { d.KeepButton()->click(); }, KeepAnswer::Keep},
        {"Return, on the default button", [](CKeepDialog& d) { Press(d, Qt::Key_Return); }, KeepAnswer::Revert},
        {"Escape", [](CKeepDialog& d) { Press(d, Qt::Key_Escape); }, KeepAnswer::Revert},
        {"the close box", [](CKeepDialog& d) { d.close(); }, KeepAnswer::Revert},
        {"nothing", [](CKeepDialog&) {}, KeepAnswer::NoAnswer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKeepDialog dialog(QStringLiteral("Hardware settings applied!"), 2, nullptr);
        EXPECT_EQ(ShownText(dialog),
                  QStringLiteral("Hardware settings applied!\n\nKeep these settings? They are reverted in 2 s."));
        EXPECT_TRUE(dialog.RevertButton()->isDefault());
        // One second in, the count shows 1 s; then the case acts.
        QTimer::singleShot(1100, &dialog, [&] {
            EXPECT_TRUE(ShownText(dialog).endsWith(QStringLiteral("They are reverted in 1 s."))) << ShownText(dialog).toStdString();
            c.act(dialog);
        });
        dialog.exec();
        EXPECT_EQ(dialog.Answer(), c.answer);
    }
}
