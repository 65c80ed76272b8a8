#pragma once
#include <nlohmann/json.hpp>

#include "app/TuningReport.h"

namespace pyx {

// One refused write as pyxtunectl's documents give it: gpu, operation, value, unit, status.
nlohmann::json RefusalJson(const TuningWriteResult& write);
// The same with the write and the card's answer in words ("write", "statusText"), for a
// client that prints what another process's cards refused.
nlohmann::json RefusalJsonWithWords(const TuningWriteResult& write);
// Every refusal of a report, with words.
nlohmann::json RefusalsWithWords(const TuningReport& report);
// A refusal with words as pyxtunectl's documents give it: the words taken out.
nlohmann::json WithoutWords(nlohmann::json refusalWithWords);

}  // namespace pyx
