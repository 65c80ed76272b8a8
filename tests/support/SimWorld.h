#pragma once
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gpu/GpuBoardTable.h"
#include "gpu/LibrarySource.h"
#include "gpu/NvApiLibrary.h"
#include "sim/SimLibrary.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TraceFile.h"

namespace pyx::test {

// The simulated library of a scenario: JSON text starting with '{', or the name of a shipped
// scenario file. One that does not load fails the test and gives a library without cards.
std::unique_ptr<sim::SimLibrary> LoadScenario(const std::string& scenario);

// Simulated cards behind the real library layer and board table, as the program runs without
// a card, with every call the layer makes in a trace file of the world's own.
class SimWorld {
public:
    // What stands between the simulated library and the layer (the Linux driver's gaps filled
    // in, say); unset, the simulator is the library.
    using Wrapper = std::function<std::unique_ptr<LibrarySource>(std::unique_ptr<sim::SimLibrary>)>;
    struct Options {
        bool traced = true;
        // Whether enumeration must find cards; a scenario without any answers "no GPU".
        bool expectCards = true;
        Wrapper wrap = {};
    };

    // scenario: JSON text starting with '{', or the name of a shipped scenario file.
    explicit SimWorld(const std::string& scenario);
    SimWorld(const std::string& scenario, Options options);
    virtual ~SimWorld();
    SimWorld(const SimWorld&) = delete;
    SimWorld& operator=(const SimWorld&) = delete;

    sim::SimCard& Card(size_t i = 0) { return sim->Card(i); }
    GpuBoard& Board(int i = 0) { return table->Board(i); }

    const TraceFile& TraceLog() const { return trace_; }
    const std::filesystem::path& TracePath() const { return trace_.Path(); }
    // Every line since the last clear, without its time stamp.
    std::vector<std::string> Trace() const { return trace_.Lines(); }
    std::vector<std::string> TraceOf(const std::string& operation) const { return trace_.LinesOf(operation); }
    void ClearTrace() const { trace_.Clear(); }
    void Mark(const std::string& text) const { trace_.Mark(text); }

    sim::SimLibrary* sim = nullptr;
    std::unique_ptr<NvApiLibrary> nv;
    std::unique_ptr<GpuBoardTable> table;

private:
    TempFolder folder_{"pyx-world-"};
    TraceFile trace_;
};

}  // namespace pyx::test
