#pragma once
#include <nlohmann/json.hpp>

#include "gpu/VfControl.h"

namespace pyx {

// One GPU's clock-client domains and VF points as `pyxtunectl vf --json` and the service's vf
// answer give them: {"domains": [...], "vfPoints": [...]}, types and domains by name.
nlohmann::json VfCurveJson(const VfCurve& curve);

}  // namespace pyx
