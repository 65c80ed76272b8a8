// The library's lighting tick, which the class-2 basic controller's colour write sends
// between its colour registers and its latch.
#include "gpu/NvApiRecords.h"
#include "sim/SimLedBasicClass2.h"
#include "sim/SimOperationSupport.h"

namespace pyx::sim {

void RegisterLightingOperations(SimOperationTable& table);

namespace {

using H = NvPhysicalGpuHandle;

int32_t PYX_NVAPI_CALL LightingTick(H h, NvLightingTick* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::LightingTick, h, record, kLightingTickTag, card); s != kNvOk)
        return s;
    if (auto* controller = card->bus.DeviceAs<SimLedBasicClass2>(0x8A)) controller->OnLightingTick();
    return kNvOk;
}

}  // namespace

void RegisterLightingOperations(SimOperationTable& table) {
    table[NvOpId(NvOp::LightingTick)] = reinterpret_cast<void*>(&LightingTick);
}

}  // namespace pyx::sim
