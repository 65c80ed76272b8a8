#pragma once
#include <chrono>
#include <memory>

#include "app/ServiceClient.h"

class QProgressDialog;

namespace pyx {

// While a change waits on the service (the desktop's password prompt may be up for a minute)
// the window goes on painting and says what it waits for. Its input waits behind a modal box,
// so that no second change starts before the first one's answer.
class ServiceWaitIndicator {
public:
    ServiceWaitIndicator();
    ~ServiceWaitIndicator();
    ServiceWaitIndicator(const ServiceWaitIndicator&) = delete;
    ServiceWaitIndicator& operator=(const ServiceWaitIndicator&) = delete;

    // The hooks for the window's service client; they live as long as this indicator.
    ServiceClient::WaitHooks Hooks();
    // Whether the box is up now.
    bool Showing() const { return box_ != nullptr; }

private:
    void Waiting(std::chrono::milliseconds waited);
    void Ended();

    std::unique_ptr<QProgressDialog> box_;
};

}  // namespace pyx
