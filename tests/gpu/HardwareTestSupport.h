#pragma once
// Scenario text for the discovery tests: cards by device id, with bus devices and extras.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pyx::test {

inline std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "\"0x%08X\"", value);
    return text;
}

// One card entry; deviceId is the 16-bit PCI device id, extra is added inside the object.
inline std::string CardJson(uint32_t deviceId, uint32_t subSystemId = 0x11223344,
                            const std::string& i2c = "[]", const std::string& extra = "") {
    return "{\"deviceId\": " + Hex((deviceId << 16) | 0x10DE) + ", \"subSystemId\": " + Hex(subSystemId) +
           ", \"i2c\": " + i2c + (extra.empty() ? "" : ", " + extra) + "}";
}

inline std::string ScenarioJson(const std::vector<std::string>& cards, const std::string& extra = "") {
    std::string text = "{\"cards\": [";
    for (size_t i = 0; i < cards.size(); ++i) text += (i ? ", " : "") + cards[i];
    return text + "]" + (extra.empty() ? "" : ", " + extra) + "}";
}

}  // namespace pyx::test

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/ProcessLauncher.h"

namespace pyx::test {

// A fresh folder under the temporary directory, removed with the object.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        // The clock keeps folders of test runs side by side apart; the counter, those of one run.
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("pyx-hw-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path path_;
};

// Stands in for the system's launcher: records every start and runs `onStart` for it,
// whose answer is whether the program started. Work it spawns runs on `workers`.
class ScriptedLauncher : public ProcessLauncher {
public:
    ~ScriptedLauncher() override {
        for (auto& worker : workers)
            if (worker.joinable()) worker.join();
    }
    bool StartHidden(const ProcessRequest& request) override {
        started.push_back(request);
        return onStart ? onStart(request) : false;
    }
    ProcessOutcome RunHidden(const ProcessRequest&, std::chrono::milliseconds) override { return {}; }
    bool RunScript(const std::filesystem::path&) override { return false; }

    std::function<bool(const ProcessRequest&)> onStart;
    std::vector<ProcessRequest> started;
    std::vector<std::thread> workers;
};

}  // namespace pyx::test
