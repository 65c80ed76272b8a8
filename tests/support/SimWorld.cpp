#include "tests/support/SimWorld.h"

#include <utility>

#include <gtest/gtest.h>

#include "gpu/Trace.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "tests/support/ScenarioJson.h"

namespace pyx::test {

std::unique_ptr<sim::SimLibrary> LoadScenario(const std::string& scenario) {
    std::string error;
    auto library = scenario.starts_with("{") ? sim::SimScenario::FromText(scenario, "test", error)
                                             : sim::SimScenario::FromFile(ShippedScenario(scenario), error);
    EXPECT_NE(library, nullptr) << error;
    return library ? std::move(library) : std::make_unique<sim::SimLibrary>();
}

SimWorld::SimWorld(const std::string& scenario) : SimWorld(scenario, Options{}) {}

SimWorld::SimWorld(const std::string& scenario, Options options) : trace_(folder_.Path() / "trace.txt") {
    auto library = LoadScenario(scenario);
    sim = library.get();
    std::unique_ptr<LibrarySource> source = options.wrap ? options.wrap(std::move(library))
                                                         : std::make_unique<sim::SimLibrarySource>(std::move(library));
    nv = std::make_unique<NvApiLibrary>(std::move(source),
                                        options.traced ? pyx::Trace::Open(TracePath().string()) : nullptr);
    EXPECT_EQ(nv->Initialize(), kNvOk);
    table = std::make_unique<GpuBoardTable>(*nv);
    const NvStatus found = table->EnumerateBoards();
    if (options.expectCards) {
        EXPECT_EQ(found, kNvOk);
    }
}

SimWorld::~SimWorld() {
    // The library closes the trace before the folder goes: Windows removes no open file.
    table.reset();
    nv.reset();
}

}  // namespace pyx::test
