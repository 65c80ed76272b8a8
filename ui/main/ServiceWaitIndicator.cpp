#include "ui/main/ServiceWaitIndicator.h"

#include <QApplication>
#include <QCoreApplication>
#include <QProgressDialog>

namespace pyx {

namespace {

// An answer within this comes without a box flashing up; most do (a millisecond or two).
constexpr std::chrono::milliseconds kBoxAfter{400};

}  // namespace

ServiceWaitIndicator::ServiceWaitIndicator() = default;
ServiceWaitIndicator::~ServiceWaitIndicator() = default;

ServiceClient::WaitHooks ServiceWaitIndicator::Hooks() {
    return {[this](std::chrono::milliseconds waited) { Waiting(waited); }, [this] { Ended(); }};
}

void ServiceWaitIndicator::Waiting(std::chrono::milliseconds waited) {
    if (box_ == nullptr && waited >= kBoxAfter) {
        box_ = std::make_unique<QProgressDialog>(
            QCoreApplication::translate("pyx::ServiceWaitIndicator",
                                        "Waiting for the Pyxtune service. If the desktop asks for an administrator's "
                                        "password, give it there."),
            QString(), 0, 0, QApplication::activeWindow());
        box_->setWindowTitle(QStringLiteral("PYXTUNE"));
        box_->setWindowModality(Qt::ApplicationModal);
        box_->setMinimumDuration(0);
        box_->setCancelButton(nullptr);
        box_->show();
    }
    // Before the box is up, clicks wait until the answer is in, as they would without this;
    // with it up, the box is all the user can reach (it turns away those that waited).
    QCoreApplication::processEvents(box_ != nullptr ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

void ServiceWaitIndicator::Ended() { box_.reset(); }

}  // namespace pyx
