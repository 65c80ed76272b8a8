#pragma once
#include <memory>
#include <string>

#include "gpu/LibrarySource.h"

namespace pyx {

// Which GPU library answers, chosen once at start:
//   PYXTUNE_GPU_BACKEND=nvapi|sim forces one; unset means the driver's library whenever one
//   is installed, even one that is refused or fails to start (that failure is then shown,
//   not hidden behind simulated cards), and the simulator only where no driver library
//   exists. PYXTUNE_SIM_SCENARIO names the simulator's scenario file.
struct GpuBackendChoice {
    std::unique_ptr<LibrarySource> source;  // null when error is set
    std::string error;                      // what is wrong with the configuration
    // What the look for the driver's library found, when one was made: why the simulator
    // was chosen, or what the driver's library will be.
    LibraryOutcome driver;
};

GpuBackendChoice ChooseGpuBackend(const char* backendName, const char* scenarioPath);
GpuBackendChoice ChooseGpuBackendFromEnvironment();
// The driver's library of this system, filled in where the platform needs it.
std::unique_ptr<LibrarySource> MakeDriverSource();

}  // namespace pyx
