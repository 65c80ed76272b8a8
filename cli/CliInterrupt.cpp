#include "cli/CliInterrupt.h"

#include <algorithm>
#include <csignal>
#include <thread>

namespace pyx {

namespace {
volatile std::sig_atomic_t g_requested = 0;

extern "C" void OnInterrupt(int) { g_requested = 1; }
}  // namespace

void CliInterrupt::Install() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool CliInterrupt::Requested() { return g_requested != 0; }

bool CliInterrupt::Wait(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (!Requested()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(20)));
    }
    return false;
}

}  // namespace pyx
