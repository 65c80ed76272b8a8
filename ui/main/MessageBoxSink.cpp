#include "ui/main/MessageBoxSink.h"

#include <QCoreApplication>
#include <QThread>

#include "ui/dialogs/CMessageBox.h"

namespace pyx {

namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

void Show(const QString& text, const QString& caption, MessageIcon icon) {
    if (icon == MessageIcon::Error)
        CMessageBox::Error(nullptr, text, caption);
    else
        CMessageBox::Inform(nullptr, text, caption);
}

}  // namespace

void MessageBoxSink::ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) {
    const QString t = FromUtf8(text);
    const QString c = FromUtf8(caption);
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        Show(t, c, icon);
        return;
    }
    QMetaObject::invokeMethod(app, [t, c, icon] { Show(t, c, icon); }, Qt::BlockingQueuedConnection);
}

}  // namespace pyx
