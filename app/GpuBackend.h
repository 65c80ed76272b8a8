#pragma once
#include <memory>
#include <string>

#include "gpu/LibrarySource.h"

namespace pyx {

// Which GPU library answers, chosen once at start:
//   PYXTUNE_GPU_BACKEND=nvapi|sim forces one; unset means the driver's library when it is
//   installed, else the simulator. PYXTUNE_SIM_SCENARIO names the simulator's scenario file.
struct GpuBackendChoice {
    std::unique_ptr<LibrarySource> source;  // null when error is set
    std::string error;                      // what is wrong with the configuration
};

GpuBackendChoice ChooseGpuBackend(const char* backendName, const char* scenarioPath);
GpuBackendChoice ChooseGpuBackendFromEnvironment();

}  // namespace pyx
