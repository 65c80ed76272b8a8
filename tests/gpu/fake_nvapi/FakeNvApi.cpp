// A minimal stand-in for the driver's NvAPI library: it knows Initialize, the PCI identifiers
// (answering a fixed device id) and the GPU's name, whose answer the handle chooses.
// PYX_FAKE_NVAPI_NO_FULL_NAME, when set, makes it a library without NvAPI_GPU_GetFullName.
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
int32_t Initialize() { return 0; }
int32_t GetPciIdentifiers(void*, uint32_t* device, uint32_t* subsystem, uint32_t*, uint32_t*) {
    *device = 0xFA4E10DE;
    *subsystem = 0x12345678;
    return 0;
}
// Handle 1: a name; 2: a failure that leaves the buffer filled without a NUL; 3: a name that
// fills all 64 bytes of the NvAPI_ShortString, no NUL; any other: not a GPU (-101).
int32_t GetFullName(void* gpu, char* name) {
    switch (reinterpret_cast<uintptr_t>(gpu)) {
    case 1: std::strcpy(name, "NVIDIA GeForce RTX 4070"); std::memcpy(name + 24, "junk", 4); return 0;
    case 2: std::memset(name, 'X', 64); return -1;
    case 3: std::memset(name, 'N', 64); return 0;
    default: return -101;
    }
}
}  // namespace

extern "C" __attribute__((visibility("default"))) void* nvapi_QueryInterface(uint32_t id) {
    if (id == 0x0150E828) return reinterpret_cast<void*>(&Initialize);
    if (id == 0x2DDFB66E) return reinterpret_cast<void*>(&GetPciIdentifiers);
    if (id == 0xCEEE8E9F && std::getenv("PYX_FAKE_NVAPI_NO_FULL_NAME") == nullptr)
        return reinterpret_cast<void*>(&GetFullName);
    return nullptr;
}
