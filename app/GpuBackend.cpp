#include "app/GpuBackend.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "sim/SimStateFile.h"
#ifdef _WIN32
#include "gpu/windows/WindowsNvApiSource.h"
#else
#include "gpu/linux/FilledNvApiSource.h"
#include "gpu/linux/LinuxNvApiSource.h"
#endif

namespace pyx {

std::unique_ptr<LibrarySource> MakeDriverSource() {
#ifdef _WIN32
    return std::make_unique<WindowsNvApiSource>();
#else
    std::string ignored;
    const LibraryTrust trust = LibraryTrust::FromEnvironment(&ignored);
    if (!ignored.empty()) std::fprintf(stderr, "pyxtune: %s\n", ignored.c_str());
    DriverFillOptions options;
    options.nvmlTrust = trust;
    return std::make_unique<FilledNvApiSource>(std::make_unique<LinuxNvApiSource>(trust), std::move(options));
#endif
}

namespace {

GpuBackendChoice SimulatorSource(const char* scenarioPath, const char* statePath) {
    GpuBackendChoice choice;
    std::unique_ptr<sim::SimLibrary> library;
    if (scenarioPath != nullptr && *scenarioPath != '\0') {
        library = sim::SimScenario::FromFile(scenarioPath, choice.error);
        if (!library) return choice;
    } else {
        library = sim::SimScenario::Default();
    }
    // PYXTUNE_SIM_STATE: the cards carry over what earlier runs did to them.
    if (statePath != nullptr && *statePath != '\0' && !sim::SimStateFile::Attach(*library, statePath, choice.error))
        return choice;
    choice.source = std::make_unique<sim::SimLibrarySource>(std::move(library));
    return choice;
}

GpuBackendChoice ChooseBackend(const char* backendName, const char* scenarioPath, const char* statePath) {
    const std::string_view name = backendName ? backendName : "";
    if (name == "sim") return SimulatorSource(scenarioPath, statePath);
    if (name == "nvapi") {
        auto driver = MakeDriverSource();
        LibraryOutcome found = driver->Probe();
        return {std::move(driver), {}, std::move(found)};
    }
    if (!name.empty()) {
        return {nullptr, "PYXTUNE_GPU_BACKEND: unknown back-end \"" + std::string(name) +
                             "\" (accepted: nvapi, sim)", {}};
    }
    auto driver = MakeDriverSource();
    LibraryOutcome found = driver->Probe();
    if (found.state != LibraryState::NotInstalled) return {std::move(driver), {}, std::move(found)};
    GpuBackendChoice simulated = SimulatorSource(scenarioPath, statePath);
    simulated.driver = std::move(found);
    return simulated;
}

}  // namespace

GpuBackendChoice ChooseGpuBackend(const char* backendName, const char* scenarioPath) {
    return ChooseBackend(backendName, scenarioPath, nullptr);
}

GpuBackendChoice ChooseGpuBackendFromEnvironment() {
    return ChooseBackend(std::getenv("PYXTUNE_GPU_BACKEND"), std::getenv("PYXTUNE_SIM_SCENARIO"),
                         std::getenv("PYXTUNE_SIM_STATE"));
}

}  // namespace pyx
