// A minimal stand-in for the driver's NvAPI library: it knows Initialize and one
// operation (the PCI identifiers, answering a fixed device id).
#include <cstdint>

namespace {
int32_t Initialize() { return 0; }
int32_t GetPciIdentifiers(void*, uint32_t* device, uint32_t* subsystem, uint32_t*, uint32_t*) {
    *device = 0xFA4E10DE;
    *subsystem = 0x12345678;
    return 0;
}
}  // namespace

extern "C" __attribute__((visibility("default"))) void* nvapi_QueryInterface(uint32_t id) {
    if (id == 0x0150E828) return reinterpret_cast<void*>(&Initialize);
    if (id == 0x2DDFB66E) return reinterpret_cast<void*>(&GetPciIdentifiers);
    return nullptr;
}
