#pragma once
#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiRecords.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

// The GPU temperature target through the library's client thermal policies. Limits in the
// records are 1/256 degrees C; the acoustic policy (id 1) carries the user's target.
inline constexpr uint32_t kAcousticPolicyId = 1;

// Reads the policies' information and, for the same policies, their status; both records
// are copied to the caller's buffers only when both reads succeeded. Policies unsupported:
// 0, outputs untouched. Either buffer may be null.
[[nodiscard]] NvStatus ReadThermalPolicies(GpuBoardTable& table, int gpu, NvThermalPoliciesInfo* infoOut,
                             NvThermalPoliciesStatus* statusOut);
// Sets the acoustic policy's limit to celsius (truncated to 1/256 degrees). A value outside
// the policy's range, a board without policies, or without the acoustic one, is left
// alone and answers 0; so does a value that is not a number.
[[nodiscard]] NvStatus SetThermalLimit(GpuBoardTable& table, int gpu, float celsius);

}  // namespace pyx
