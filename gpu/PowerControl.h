#pragma once
#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiRecords.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

// Power target. Powers in the records are thousandths of a percent.
//
// Fills the caller's information record (tag set here); on success the board keeps the
// record's word at byte 36 (the first policy's default power) as powerPolicyInfoWord.
[[nodiscard]] NvStatus GetPowerPolicyInfo(GpuBoardTable& table, int gpu, NvPowerPoliciesInfo* record);
// The caller sets the record's tag (kPowerPoliciesStatusTag).
[[nodiscard]] NvStatus GetPowerPolicyStatus(GpuBoardTable& table, int gpu, NvPowerPoliciesStatus* record);
// Sets the tag and sends the caller's record.
[[nodiscard]] NvStatus SetPowerPolicyStatus(GpuBoardTable& table, int gpu, NvPowerPoliciesStatus* record);

}  // namespace pyx
