#include "sim/SimLibrary.h"

#include <cstring>

#include "gpu/NvApiIds.h"

namespace pyx::sim {

namespace {
std::atomic<SimLibrary*> g_active{nullptr};

bool ChangesCard(uint32_t id) {
    for (const NvOp op : {NvOp::SetPstates20, NvOp::PowerPoliciesSetStatus, NvOp::ThermalPoliciesSetStatus,
                          NvOp::SetCoolerLevels, NvOp::RestoreCoolerSettings, NvOp::FanCoolersSetControl,
                          NvOp::ClkVfPointsSetControl, NvOp::I2CWrite, NvOp::I2CWriteEx})
        if (NvOpId(op) == id) return true;
    return false;
}

// The library layer calls these around every operation, as the driver's own hooks are
// called, with a context of its own for each call. The context keeps the library whose
// listener was told of the operation, which must then hear of its end even should another
// library become the active one meanwhile.
static_assert(sizeof(SimLibrary*) <= 8, "the call context holds 8 bytes");

void PYX_NVAPI_CALL BeforeCallHook(uint32_t id, void* context) {
    SimLibrary* library = SimLibrary::Active();
    if (library != nullptr && library->BeforeOperation(ChangesCard(id))) std::memcpy(context, &library, sizeof library);
}

void PYX_NVAPI_CALL AfterCallHook(uint32_t /*id*/, void* context, int32_t /*status*/) {
    SimLibrary* library = nullptr;
    std::memcpy(&library, context, sizeof library);
    // Whatever the status: a failed write may still have changed part of a card, as a bus
    // write cut short does.
    if (library != nullptr) library->AfterOperation();
}
}  // namespace

SimLibrary::SimLibrary() {
    RegisterAllOperations(operations_);
    operations_[kIdBeforeCallHook] = reinterpret_cast<void*>(&BeforeCallHook);
    operations_[kIdAfterCallHook] = reinterpret_cast<void*>(&AfterCallHook);
}

void SimLibrary::SetOperationListener(std::function<bool(bool)> before, std::function<void()> after) {
    std::lock_guard lock(listenerMutex_);
    before_ = std::move(before);
    after_ = std::move(after);
}

bool SimLibrary::BeforeOperation(bool changesCard) {
    std::function<bool(bool)> before;
    {
        std::lock_guard lock(listenerMutex_);
        before = before_;
    }
    return before && before(changesCard);
}

void SimLibrary::AfterOperation() {
    std::function<void()> after;
    {
        std::lock_guard lock(listenerMutex_);
        after = after_;
    }
    if (after) after();
}

SimLibrary::~SimLibrary() { Deactivate(); }

SimCard& SimLibrary::AddCard() {
    cards_.push_back(std::make_unique<SimCard>());
    return *cards_.back();
}

SimCard* SimLibrary::CardFromHandle(const void* handle) const {
    for (const auto& card : cards_)
        if (card.get() == handle) return card.get();
    return nullptr;
}

int SimLibrary::CardIndex(const SimCard& card) const {
    for (size_t i = 0; i < cards_.size(); ++i)
        if (cards_[i].get() == &card) return static_cast<int>(i);
    return -1;
}

SimLibrary* SimLibrary::Active() { return g_active.load(std::memory_order_acquire); }

void SimLibrary::Activate() { g_active.store(this, std::memory_order_release); }

void SimLibrary::Deactivate() {
    SimLibrary* self = this;
    g_active.compare_exchange_strong(self, nullptr);
    initialised_ = false;
}

void* SimLibrary::QueryInterface(uint32_t id) {
    SimLibrary* library = Active();
    return library ? library->Resolve(id) : nullptr;
}

void* SimLibrary::Resolve(uint32_t id) {
    {
        std::lock_guard lock(faultMutex_);
        ++queryCounts_[id];
        if (unknownIds_.count(id) != 0) return nullptr;
    }
    auto it = operations_.find(id);
    return it == operations_.end() ? nullptr : it->second;
}

void SimLibrary::SetUnknownId(uint32_t id, bool unknown) {
    std::lock_guard lock(faultMutex_);
    if (unknown) unknownIds_.insert(id); else unknownIds_.erase(id);
}

void SimLibrary::SetUnsupported(uint32_t id, bool unsupported) {
    std::lock_guard lock(faultMutex_);
    if (unsupported) unsupportedIds_.insert(id); else unsupportedIds_.erase(id);
}

void SimLibrary::SetBusTimePerByte(std::chrono::microseconds perByte) {
    for (auto& card : cards_) card->bus.SetTimePerByte(perByte);
}

int SimLibrary::QueryCount(uint32_t id) const {
    std::lock_guard lock(faultMutex_);
    auto it = queryCounts_.find(id);
    return it == queryCounts_.end() ? 0 : it->second;
}

NvStatus SimLibrary::Gate(uint32_t id) const {
    if (!initialised_) return kSimNotInitialised;
    std::lock_guard lock(faultMutex_);
    if (unsupportedIds_.count(id) != 0) return kNvNotSupported;
    return kNvOk;
}

}  // namespace pyx::sim
