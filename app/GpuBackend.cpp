#include "app/GpuBackend.h"

#include <cstdlib>
#include <string_view>

#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "sim/SimStateFile.h"
#ifdef _WIN32
#include "gpu/windows/WindowsNvApiSource.h"
#else
#include "gpu/linux/LinuxNvApiSource.h"
#endif

namespace pyx {

namespace {

std::unique_ptr<LibrarySource> DriverSource() {
#ifdef _WIN32
    return std::make_unique<WindowsNvApiSource>();
#else
    return std::make_unique<LinuxNvApiSource>();
#endif
}

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
    if (name == "nvapi") return {DriverSource(), {}};
    if (!name.empty()) {
        return {nullptr, "PYXTUNE_GPU_BACKEND: unknown back-end \"" + std::string(name) +
                             "\" (accepted: nvapi, sim)"};
    }
    auto driver = DriverSource();
    if (driver->Present()) return {std::move(driver), {}};
    return SimulatorSource(scenarioPath, statePath);
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
