#include "led/LedControllerFactory.h"

#include "led/BasicClass1Controller.h"
#include "led/BasicClass2Controller.h"
#include "led/EffectController.h"
#include "led/LedAddresses.h"
#include "led/LedThreadArgs.h"
#include "led/ZoneController.h"

namespace pyx {

namespace {

template <size_t N>
std::vector<uint8_t> Zones(const std::array<uint8_t, N>& addresses) {
    return {addresses.begin(), addresses.end()};
}

}  // namespace

std::unique_ptr<LedController> MakeFoundController(GpuBoardTable& table, int gpu, LedKind kind) {
    switch (kind) {
        case LedKind::BasicClass1: return std::make_unique<BasicClass1Controller>(table, gpu);
        case LedKind::BasicClass2: return std::make_unique<BasicClass2Controller>(table, gpu);
        case LedKind::Zone58:
            return std::make_unique<ZoneController>(table, gpu, std::vector<uint8_t>{kZoneMainAddress, 0x46, 0x48});
        case LedKind::Zone46:
            return std::make_unique<ZoneController>(table, gpu, std::vector<uint8_t>{0x46, 0x48, kZoneMainAddress});
        case LedKind::EffectAC:
            return std::make_unique<EffectController>(table, gpu, std::vector<uint8_t>{kEffectMainAddress, 0xB0});
        case LedKind::None: break;
    }
    return nullptr;
}

std::unique_ptr<LedController> MakeTargetController(GpuBoardTable& table, int gpu, LedTarget target) {
    switch (target) {
        case LedTarget::Zone58: return std::make_unique<ZoneController>(table, gpu, std::vector<uint8_t>{kZoneMainAddress});
        case LedTarget::Zone46: return std::make_unique<ZoneController>(table, gpu, std::vector<uint8_t>{kZoneAddresses[0]});
        case LedTarget::ZoneGroup: return std::make_unique<ZoneController>(table, gpu, Zones(kZoneGroupAddresses));
        case LedTarget::EffectAC:
            return std::make_unique<EffectController>(table, gpu, std::vector<uint8_t>{kEffectMainAddress});
        case LedTarget::EffectGroup: return std::make_unique<EffectController>(table, gpu, Zones(kEffectGroupAddresses));
        case LedTarget::Basic: break;
    }
    return nullptr;
}

std::unique_ptr<LedController> MakeSyncController(GpuBoardTable& table, int gpu, int32_t syncKind) {
    switch (syncKind) {
        case kSyncZone58: return std::make_unique<ZoneController>(table, gpu, std::vector<uint8_t>{kZoneMainAddress});
        case kSyncZoneGroup: return std::make_unique<ZoneController>(table, gpu, Zones(kZoneAddresses));
        default: return std::make_unique<EffectController>(table, gpu, Zones(kEffectAddresses));
    }
}

}  // namespace pyx
