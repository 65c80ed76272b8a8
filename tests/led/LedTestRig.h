#pragma once
// A simulated machine for the lighting tests: scenario cards behind the real library layer,
// a trace file of every transaction, and a virtual clock whose waits appear in that trace.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "led/LedColour.h"
#include "led/LedPacer.h"
#include "sim/SimI2cBus.h"
#include "sim/SimScenario.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"
#ifndef _WIN32
#include "tests/support/linux/DriverFillRig.h"
#endif

namespace pyx::test {

// Virtual time: a wait returns at once and moves the clock to its deadline. Each wait can be
// written to a file (the trace) and handed to a hook, which tests use to end a sequence.
class VirtualLedPacer : public LedPacer {
public:
    Clock::time_point Now() override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    void SleepUntil(Clock::time_point deadline) override {
        std::chrono::milliseconds waited{};
        {
            std::lock_guard lock(mutex_);
            if (deadline <= now_) return;
            waited = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now_);
            now_ = deadline;
            waits_.push_back(waited);
        }
        if (!logPath.empty()) {
            std::ofstream out(logPath, std::ios::app);
            out << "t=0 Wait ms=" << waited.count() << "\n";
        }
        if (onWait) onWait(waited);
    }
    void Interrupt() override {}

    std::vector<std::chrono::milliseconds> Waits() {
        std::lock_guard lock(mutex_);
        return waits_;
    }

    std::string logPath;
    std::function<void(std::chrono::milliseconds)> onWait;

private:
    std::mutex mutex_;
    Clock::time_point now_{};
    std::vector<std::chrono::milliseconds> waits_;
};

inline std::string ScenarioPath(const std::string& name) { return ShippedScenario(name).string(); }

// The kernel's I2C path of a rig, made before the rig's library is put over it.
struct LedKernelPath {
#ifndef _WIN32
    std::unique_ptr<DriverFillRig> kernelPath;
#endif
};

// The world of the lighting tests: every transaction in the trace, and the virtual clock's
// waits among them.
struct LedRig : LedKernelPath, SimWorld {
    // scenario: a file name under sim/scenarios, or JSON text starting with '{'.
    explicit LedRig(const std::string& scenario) : SimWorld(scenario, {.wrap = KernelPath(*this)}) {
        tracePath = TracePath().string();
        pacer.logPath = tracePath;
        ClearTrace();
    }
    ~LedRig() override {
#ifndef _WIN32
        // On the kernel's path the traffic must really have gone through its adapters.
        if (kernelPath) {
            EXPECT_GT(kernelPath->Transport()->transactions.load(), 0);
        }
#endif
    }

    // The trace since the last clear, without the time field.
    std::vector<std::string> TraceLines() const { return Trace(); }

    template <typename T>
    T* Device(size_t card, uint8_t address) { return sim->Card(card).bus.DeviceAs<T>(address); }

    std::string tracePath;
    VirtualLedPacer pacer;

private:
    // PYX_TEST_I2C_PATH=kernel: the same traffic through the Linux kernel's I2C adapters.
    static Wrapper KernelPath([[maybe_unused]] LedKernelPath& holder) {
#ifndef _WIN32
        const char* path = std::getenv("PYX_TEST_I2C_PATH");
        if (path != nullptr && std::string(path) == "kernel")
            return [&holder](std::unique_ptr<sim::SimLibrary> library) -> std::unique_ptr<LibrarySource> {
                holder.kernelPath = std::make_unique<DriverFillRig>();
                return holder.kernelPath->Wrap(std::move(library));
            };
#endif
        return {};
    }
};

// Compares the trace with an approved file under data/golden; the actual trace is written
// beside the build for a diff when they differ.
inline void ExpectGolden(const std::vector<std::string>& actual, const std::string& name) {
    const std::string path = std::string(PYX_TEST_DATA_DIR) + "/golden/" + name;
    std::ifstream in(path);
    ASSERT_TRUE(in) << "approved trace missing: " << path;
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);) expected.push_back(line);
    if (actual != expected) {
        const std::string out = (std::filesystem::temp_directory_path() / ("actual-" + name)).string();
        std::ofstream o(out);
        for (const auto& line : actual) o << line << "\n";
        size_t i = 0;
        while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
        ADD_FAILURE() << name << " differs from the approved trace at line " << (i + 1) << ":\n  expected: "
                      << (i < expected.size() ? expected[i] : "<end>") << "\n  actual:   "
                      << (i < actual.size() ? actual[i] : "<end>") << "\nwhole trace written to " << out;
    }
}

// Colours written to the class-1 basic controller (the 10-byte block), in order.
struct BasicFrame {
    int gpu;
    LedColour colour;
    uint8_t level;
};
inline std::vector<BasicFrame> Class1Frames(LedRig& rig) {
    std::vector<BasicFrame> frames;
    for (size_t card = 0; card < rig.sim->CardCount(); ++card)
        for (const auto& r : rig.Card(card).bus.Log())
            if (r.devAddress == 0x40 && r.reg == 0x01 && r.length == 10)
                frames.push_back({static_cast<int>(card), {r.data[5], r.data[6], r.data[7]}, r.data[8]});
    return frames;
}

}  // namespace pyx::test
