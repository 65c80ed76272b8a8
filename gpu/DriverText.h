#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "gpu/LibrarySource.h"
#include "gpu/NvApiRecords.h"

namespace pyx {

// NvAPI_GPU_GetFullName: the GPU's name into an NvAPI_ShortString.
using NvGetFullNameFn = int32_t(PYX_NVAPI_CALL*)(NvPhysicalGpuHandle gpu, char* name);

// Texts the driver's libraries write into buffers of a fixed size. A library that fills the
// buffer to its last byte leaves no NUL, and one that fails leaves whatever was there: only
// what a call that succeeded wrote, up to the first NUL and never past the buffer, is read.
class DriverText {
public:
    // The text up to the first NUL within `capacity` bytes; nullopt when it is empty.
    static std::optional<std::string> FromBuffer(const char* buffer, size_t capacity);
    // The GPU's name as NvAPI tells it; nullopt when the library lacks the function
    // (`getFullName` null) or it answers other than OK.
    static std::optional<std::string> FullName(NvGetFullNameFn getFullName, NvPhysicalGpuHandle gpu);
};

}  // namespace pyx
