#pragma once
// A simulated card behind the real layer for the tuning operations, with the trace written
// to a file of its own so tests can read what changed the card.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiLibrary.h"
#include "gpu/Trace.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"

namespace pyx::test {

class ControlRig {
public:
    explicit ControlRig(const std::string& scenarioJson) {
        static std::atomic<int> counter{0};
        tracePath_ = std::filesystem::temp_directory_path() /
                     ("pyx-ctl-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".trace");
        std::filesystem::remove(tracePath_);
        std::string error;
        auto library = sim::SimScenario::FromText(scenarioJson, "test", error);
        EXPECT_NE(library, nullptr) << error;
        if (!library) library = std::make_unique<sim::SimLibrary>();
        sim = library.get();
        nv = std::make_unique<NvApiLibrary>(std::make_unique<sim::SimLibrarySource>(std::move(library)),
                                            Trace::Open(tracePath_.string()));
        EXPECT_EQ(nv->Initialize(), kNvOk);
        table = std::make_unique<GpuBoardTable>(*nv);
        EXPECT_EQ(table->EnumerateBoards(), kNvOk);
    }
    ~ControlRig() {
        table.reset();
        nv.reset();
        std::error_code ec;
        std::filesystem::remove(tracePath_, ec);
    }

    sim::SimCard& Card(size_t i = 0) { return sim->Card(i); }
    GpuBoard& Board(int i = 0) { return table->Board(i); }

    // Every line since the last clear, without its time stamp.
    std::vector<std::string> Trace() const {
        std::ifstream in(tracePath_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            const auto space = line.find(' ');
            lines.push_back(space == std::string::npos ? line : line.substr(space + 1));
        }
        return lines;
    }
    void ClearTrace() const { std::ofstream(tracePath_, std::ios::trunc); }

    // Trace lines of one operation, without the time stamp, e.g. "SetCoolerLevels gpu=0 ...".
    std::vector<std::string> TraceOf(const std::string& operation) const {
        std::ifstream in(tracePath_);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            const auto space = line.find(' ');
            if (space == std::string::npos) continue;
            const std::string rest = line.substr(space + 1);
            if (rest.rfind(operation + " ", 0) == 0) lines.push_back(rest);
        }
        return lines;
    }

    sim::SimLibrary* sim = nullptr;
    std::unique_ptr<NvApiLibrary> nv;
    std::unique_ptr<GpuBoardTable> table;

private:
    std::filesystem::path tracePath_;
};

// One card of the given PCI device id with the tuning entry and bus devices given.
inline std::string TuningCard(const std::string& tuning, const std::string& i2c = "[]",
                              const std::string& deviceId = "0x1B8110DE") {
    return R"({"cards": [{"deviceId": ")" + deviceId + R"(", "subSystemId": "0x11223344",
        "clocks": {"current": {"graphics": 1506000, "memory": 4006000},
                   "base": {"graphics": 1506000, "memory": 4006000},
                   "boost": {"graphics": 1683000, "memory": 4006000}},
        "tuning": )" + tuning + R"(, "i2c": )" + i2c + "}]}";
}

}  // namespace pyx::test
