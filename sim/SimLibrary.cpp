#include "sim/SimLibrary.h"

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

// The library layer calls this after every operation, as the driver's own hook is called.
void PYX_NVAPI_CALL AfterCallHook(uint32_t id, void* /*context*/, int32_t status) {
    if (status != kNvOk || !ChangesCard(id)) return;
    if (SimLibrary* library = SimLibrary::Active()) library->NotifyChanged();
}
}  // namespace

SimLibrary::SimLibrary() {
    RegisterAllOperations(operations_);
    operations_[kIdAfterCallHook] = reinterpret_cast<void*>(&AfterCallHook);
}

void SimLibrary::SetChangeListener(std::function<void()> listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = std::move(listener);
}

void SimLibrary::NotifyChanged() {
    std::function<void()> listener;
    {
        std::lock_guard lock(listenerMutex_);
        listener = listener_;
    }
    if (listener) listener();
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
