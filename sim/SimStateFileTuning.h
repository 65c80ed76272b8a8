#pragma once
// A simulated card's tuning state as it is kept between runs: every field, so that a card
// read back is the card that was written, ranges and faults included.
#include <string>

#include <nlohmann/json.hpp>

#include "sim/SimTuningState.h"

namespace pyx::sim {

nlohmann::json TuningStateToJson(const SimTuningState& state);
// Every field must be present and in range; throws std::runtime_error naming the field
// (prefixed by where) on the first that is not.
SimTuningState TuningStateFromJson(const nlohmann::json& value, const std::string& where);

// The member named key of an object; throws std::runtime_error naming where.key when the
// object or the member is missing.
const nlohmann::json& StateField(const nlohmann::json& object, const char* key, const std::string& where);

}  // namespace pyx::sim
