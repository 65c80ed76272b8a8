#pragma once
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "platform/ProcessLauncher.h"

namespace pyx::test {

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
