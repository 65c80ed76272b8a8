#include "gpu/DriverText.h"

#include <array>
#include <cstring>

#include "gpu/NvApiIds.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

std::optional<std::string> DriverText::FromBuffer(const char* buffer, size_t capacity) {
    if (buffer == nullptr) return std::nullopt;
    const void* end = std::memchr(buffer, '\0', capacity);
    const size_t length = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - buffer) : capacity;
    if (length == 0) return std::nullopt;
    return std::string(buffer, length);
}

std::optional<std::string> DriverText::FullName(NvGetFullNameFn getFullName, NvPhysicalGpuHandle gpu) {
    if (getFullName == nullptr) return std::nullopt;
    std::array<char, kNvShortStringBytes> name{};
    if (getFullName(gpu, name.data()) != kNvOk) return std::nullopt;
    return FromBuffer(name.data(), name.size());
}

}  // namespace pyx
