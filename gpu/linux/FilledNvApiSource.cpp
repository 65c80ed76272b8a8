#include "gpu/linux/FilledNvApiSource.h"

namespace pyx {

namespace {

using H = NvPhysicalGpuHandle;
using Route = FilledNvApiSource::Route;
constexpr NvStatus kNotInitialised = -4;

size_t Index(NvOp op) { return static_cast<size_t>(op); }

// The NVML side of one id: nullopt when NVML cannot answer it for this card.
template <typename... Args>
using NvmlFn = std::optional<NvStatus> (*)(FilledNvApiSource&, H, Args...);

// The answer for an id that has an NVML fallback: NvAPI until it says "not supported" on the
// first call, then NVML for good; NVML alone when NvAPI lacks the id.
template <NvOp op, auto nvmlAnswer, typename... Args>
int32_t PYX_NVAPI_CALL FallbackShim(H h, Args... args) {
    FilledNvApiSource* self = FilledNvApiSource::Active();
    if (self == nullptr) return kNotInitialised;
    using Fn = int32_t(PYX_NVAPI_CALL*)(H, Args...);
    const auto base = reinterpret_cast<Fn>(self->BaseAnswer(op));
    std::atomic<Route>& route = self->RouteSlot(op);
    switch (route.load(std::memory_order_acquire)) {
    case Route::NvApi:
        return base(h, args...);
    case Route::Nvml: {
        const std::optional<NvStatus> answer = nvmlAnswer(*self, h, args...);
        return answer ? *answer : kNvNotSupported;
    }
    case Route::Undecided:
        break;
    default:
        return kNvNoInterface;
    }
    NvStatus status = kNvNoInterface;
    if (base != nullptr) {
        status = base(h, args...);
        if (status != kNvNotSupported) {
            route.store(Route::NvApi, std::memory_order_release);
            return status;
        }
    }
    const std::optional<NvStatus> answer = nvmlAnswer(*self, h, args...);
    if (!answer) {
        route.store(base != nullptr ? Route::NvApi : Route::Nobody, std::memory_order_release);
        return status;
    }
    route.store(Route::Nvml, std::memory_order_release);
    return *answer;
}

// NVML answers of each id, in the signature the layer calls the id with.
template <typename Record, std::optional<NvStatus> (*answer)(NvmlLibrary&, NvmlLibrary::Device, Record*)>
std::optional<NvStatus> OnCard(FilledNvApiSource& self, H h, Record* record) {
    FilledNvApiSource::Card* card = self.NvmlCard(h);
    if (card == nullptr) return std::nullopt;
    std::lock_guard lock(card->nvmlMutex);
    return answer(self.Nvml(), card->nvmlDevice, record);
}

std::optional<NvStatus> NvmlThermalInfo(FilledNvApiSource& self, H h, NvThermalPoliciesInfo* record) {
    FilledNvApiSource::Card* card = self.NvmlCard(h);
    if (card == nullptr) return std::nullopt;
    std::lock_guard lock(card->nvmlMutex);
    return NvmlAnswers::ThermalInfo(self.Nvml(), card->nvmlDevice, card->memory, record);
}

std::optional<NvStatus> NvmlCoolerSettings(FilledNvApiSource& self, H h, uint32_t index, void* record) {
    FilledNvApiSource::Card* card = self.NvmlCard(h);
    if (card == nullptr) return std::nullopt;
    std::lock_guard lock(card->nvmlMutex);
    return NvmlAnswers::CoolerSettings(self.Nvml(), card->nvmlDevice, index, record);
}

std::optional<NvStatus> NvmlSetCoolerLevels(FilledNvApiSource& self, H h, uint32_t index, NvCoolerLevels* record) {
    FilledNvApiSource::Card* card = self.NvmlCard(h);
    if (card == nullptr) return std::nullopt;
    std::lock_guard lock(card->nvmlMutex);
    return NvmlAnswers::SetCoolerLevels(self.Nvml(), card->nvmlDevice, index, record);
}

std::optional<NvStatus> NvmlRestoreCoolers(FilledNvApiSource& self, H h, uint32_t* indexes, uint32_t count) {
    FilledNvApiSource::Card* card = self.NvmlCard(h);
    if (card == nullptr) return std::nullopt;
    std::lock_guard lock(card->nvmlMutex);
    return NvmlAnswers::RestoreCoolers(self.Nvml(), card->nvmlDevice, indexes, count);
}

// Adapters of the const-record answers to the layer's non-const signature.
std::optional<NvStatus> SetPstates(NvmlLibrary& n, NvmlLibrary::Device d, NvPstates20* r) {
    return NvmlAnswers::SetPstates20(n, d, r);
}
std::optional<NvStatus> SetPower(NvmlLibrary& n, NvmlLibrary::Device d, NvPowerPoliciesStatus* r) {
    return NvmlAnswers::SetPowerStatus(n, d, r);
}
std::optional<NvStatus> SetThermal(NvmlLibrary& n, NvmlLibrary::Device d, NvThermalPoliciesStatus* r) {
    return NvmlAnswers::SetThermalStatus(n, d, r);
}
std::optional<NvStatus> SetFanCoolers(NvmlLibrary& n, NvmlLibrary::Device d, NvFanCoolersControl* r) {
    return NvmlAnswers::FanCoolersControl(n, d, r);
}

template <bool read>
int32_t PYX_NVAPI_CALL KernelI2cCall(H h, NvI2cRequestV3* request) {
    FilledNvApiSource* self = FilledNvApiSource::Active();
    if (self == nullptr) return kNotInitialised;
    return self->I2cTransfer(h, request, read);
}

template <bool read>
int32_t PYX_NVAPI_CALL KernelI2cCallEx(H h, NvI2cRequestV3* request, uint32_t* extra) {
    if (extra == nullptr) return kNvInvalidArgument;
    return KernelI2cCall<read>(h, request);
}

struct Fill {
    NvOp op;
    void* address;
};

template <typename Fn>
void* Address(Fn fn) { return reinterpret_cast<void*>(fn); }

// One table of what fills in for which id.
const std::array<Fill, 19>& Fills() {
    static const std::array<Fill, 19> fills = {{
        {NvOp::GetPstates20, Address(&FallbackShim<NvOp::GetPstates20, &OnCard<NvPstates20, &NvmlAnswers::GetPstates20>, NvPstates20*>)},
        {NvOp::SetPstates20, Address(&FallbackShim<NvOp::SetPstates20, &OnCard<NvPstates20, &SetPstates>, NvPstates20*>)},
        {NvOp::PowerPoliciesGetInfo, Address(&FallbackShim<NvOp::PowerPoliciesGetInfo, &OnCard<NvPowerPoliciesInfo, &NvmlAnswers::PowerInfo>, NvPowerPoliciesInfo*>)},
        {NvOp::PowerPoliciesGetStatus, Address(&FallbackShim<NvOp::PowerPoliciesGetStatus, &OnCard<NvPowerPoliciesStatus, &NvmlAnswers::PowerStatus>, NvPowerPoliciesStatus*>)},
        {NvOp::PowerPoliciesSetStatus, Address(&FallbackShim<NvOp::PowerPoliciesSetStatus, &OnCard<NvPowerPoliciesStatus, &SetPower>, NvPowerPoliciesStatus*>)},
        {NvOp::ThermalPoliciesGetInfo, Address(&FallbackShim<NvOp::ThermalPoliciesGetInfo, &NvmlThermalInfo, NvThermalPoliciesInfo*>)},
        {NvOp::ThermalPoliciesGetStatus, Address(&FallbackShim<NvOp::ThermalPoliciesGetStatus, &OnCard<NvThermalPoliciesStatus, &NvmlAnswers::ThermalStatus>, NvThermalPoliciesStatus*>)},
        {NvOp::ThermalPoliciesSetStatus, Address(&FallbackShim<NvOp::ThermalPoliciesSetStatus, &OnCard<NvThermalPoliciesStatus, &SetThermal>, NvThermalPoliciesStatus*>)},
        {NvOp::GetCoolerSettings, Address(&FallbackShim<NvOp::GetCoolerSettings, &NvmlCoolerSettings, uint32_t, void*>)},
        {NvOp::SetCoolerLevels, Address(&FallbackShim<NvOp::SetCoolerLevels, &NvmlSetCoolerLevels, uint32_t, NvCoolerLevels*>)},
        {NvOp::RestoreCoolerSettings, Address(&FallbackShim<NvOp::RestoreCoolerSettings, &NvmlRestoreCoolers, uint32_t*, uint32_t>)},
        {NvOp::FanCoolersGetInfo, Address(&FallbackShim<NvOp::FanCoolersGetInfo, &OnCard<NvFanCoolersInfo, &NvmlAnswers::FanCoolersInfo>, NvFanCoolersInfo*>)},
        {NvOp::FanCoolersGetStatus, Address(&FallbackShim<NvOp::FanCoolersGetStatus, &OnCard<NvFanCoolersStatus, &NvmlAnswers::FanCoolersStatus>, NvFanCoolersStatus*>)},
        {NvOp::FanCoolersGetControl, Address(&FallbackShim<NvOp::FanCoolersGetControl, &OnCard<NvFanCoolersControl, &NvmlAnswers::FanCoolersControlRead>, NvFanCoolersControl*>)},
        {NvOp::FanCoolersSetControl, Address(&FallbackShim<NvOp::FanCoolersSetControl, &OnCard<NvFanCoolersControl, &SetFanCoolers>, NvFanCoolersControl*>)},
        {NvOp::I2CRead, Address(&KernelI2cCall<true>)},
        {NvOp::I2CWrite, Address(&KernelI2cCall<false>)},
        {NvOp::I2CReadEx, Address(&KernelI2cCallEx<true>)},
        {NvOp::I2CWriteEx, Address(&KernelI2cCallEx<false>)},
    }};
    return fills;
}

const Fill* FillOf(NvOp op) {
    for (const Fill& fill : Fills())
        if (fill.op == op) return &fill;
    return nullptr;
}

std::optional<NvOp> OpOf(uint32_t id) {
    for (size_t i = 0; i < kNvOpCount; ++i)
        if (kNvOpIds[i] == id) return static_cast<NvOp>(i);
    return std::nullopt;
}

}  // namespace

std::atomic<FilledNvApiSource*> FilledNvApiSource::active_{nullptr};

FilledNvApiSource::FilledNvApiSource(std::unique_ptr<LibrarySource> base, DriverFillOptions options)
    : base_(std::move(base)),
      nvml_(std::move(options.nvmlTrust)),
      i2c_(options.sysfsRoot,
           options.transport ? std::move(options.transport) : std::make_unique<DevI2cTransport>()) {}

FilledNvApiSource::~FilledNvApiSource() { Close(); }

bool FilledNvApiSource::IsI2c(NvOp op) {
    return op == NvOp::I2CRead || op == NvOp::I2CWrite || op == NvOp::I2CReadEx || op == NvOp::I2CWriteEx;
}

bool FilledNvApiSource::HasNvmlFallback(NvOp op) { return !IsI2c(op) && FillOf(op) != nullptr; }

NvStatus FilledNvApiSource::Open(NvQueryInterfaceFn& queryInterface) {
    Close();
    NvQueryInterfaceFn base = nullptr;
    const NvStatus opened = base_->Open(base);
    if (opened != kNvOk) return opened;
    if (base == nullptr) {
        base_->Close();
        return kNvFailed;
    }
    baseQuery_ = base;
    for (size_t i = 0; i < kNvOpCount; ++i) {
        baseAnswers_[i] = base(kNvOpIds[i]);
        routes_[i].store(Route::Undecided);
    }
    getBusId_ = reinterpret_cast<decltype(getBusId_)>(base(kIdGetBusId));
    getBusSlotId_ = reinterpret_cast<decltype(getBusSlotId_)>(base(kIdGetBusSlotId));
    getFullName_ = reinterpret_cast<NvGetFullNameFn>(base(kIdGetFullName));
    {
        std::lock_guard lock(cardsMutex_);
        cards_.clear();
    }
    active_.store(this, std::memory_order_release);
    queryInterface = &FilledNvApiSource::Query;
    return kNvOk;
}

void FilledNvApiSource::Close() {
    FilledNvApiSource* self = this;
    active_.compare_exchange_strong(self, nullptr);
    if (baseQuery_ != nullptr) base_->Close();
    baseQuery_ = nullptr;
    baseAnswers_.fill(nullptr);
    getBusId_ = nullptr;
    getBusSlotId_ = nullptr;
    getFullName_ = nullptr;
}

void* FilledNvApiSource::Query(uint32_t id) {
    FilledNvApiSource* self = Active();
    if (self == nullptr || self->baseQuery_ == nullptr) return nullptr;
    const std::optional<NvOp> op = OpOf(id);
    if (!op) return self->baseQuery_(id);
    void* base = self->baseAnswers_[Index(*op)];
    const Fill* fill = FillOf(*op);
    if (fill == nullptr) return base;
    // A library that answers an I2C id itself keeps it.
    if (IsI2c(*op)) return base != nullptr ? base : fill->address;
    return fill->address;
}

FilledNvApiSource::Route FilledNvApiSource::RouteOf(NvOp op) const {
    const bool base = baseAnswers_[Index(op)] != nullptr;
    if (IsI2c(op)) return base ? Route::NvApi : Route::KernelI2c;
    if (!HasNvmlFallback(op)) return base ? Route::NvApi : Route::Nobody;
    return routes_[Index(op)].load(std::memory_order_acquire);
}

const char* FilledNvApiSource::RouteName(Route route) {
    switch (route) {
    case Route::NvApi: return "NvAPI";
    case Route::Nvml: return "NVML";
    case Route::KernelI2c: return "kernel I2C";
    case Route::Nobody: return "nobody";
    case Route::Undecided: break;
    }
    return "undecided";
}

std::string FilledNvApiSource::AnswererOf(NvOp op) const {
    const Route route = RouteOf(op);
    if (route != Route::Undecided) return RouteName(route);
    return baseAnswers_[Index(op)] != nullptr ? "NvAPI, NVML where NvAPI says not supported" : "NVML";
}

FilledNvApiSource::Card& FilledNvApiSource::CardOf(H handle) {
    std::lock_guard lock(cardsMutex_);
    for (const auto& card : cards_)
        if (card->handle == handle) return *card;
    auto card = std::make_unique<Card>();
    card->handle = handle;
    uint32_t bus = 0;
    if (getBusId_ != nullptr && getBusId_(handle, &bus) == kNvOk) {
        std::optional<uint32_t> slot;
        uint32_t value = 0;
        if (getBusSlotId_ != nullptr && getBusSlotId_(handle, &value) == kNvOk) slot = value;
        card->pciAddress = i2c_.PciAddressOf(bus, slot);
    }
    cards_.push_back(std::move(card));
    return *cards_.back();
}

FilledNvApiSource::Card* FilledNvApiSource::NvmlCard(H handle) {
    if (!nvml_.EnsureReady()) return nullptr;
    Card& card = CardOf(handle);
    std::lock_guard lock(card.nvmlMutex);
    if (!card.nvmlLooked) {
        card.nvmlLooked = true;
        if (!card.pciAddress.empty() && nvml_.DeviceByPciBusId != nullptr &&
            nvml_.DeviceByPciBusId(card.pciAddress.c_str(), &card.nvmlDevice) != NvmlLibrary::kSuccess)
            card.nvmlDevice = nullptr;
    }
    return card.nvmlDevice != nullptr ? &card : nullptr;
}

NvStatus FilledNvApiSource::I2cTransfer(H handle, NvI2cRequestV3* request, bool read) {
    if (request == nullptr) return kNvInvalidArgument;
    const Card& card = CardOf(handle);
    if (card.pciAddress.empty()) return kNvFailed;
    return i2c_.Transfer(card.pciAddress, *request, read);
}

std::vector<LibraryOutcome> FilledNvApiSource::Libraries() {
    nvml_.EnsureReady();
    return {base_->Probe(), nvml_.Outcome()};
}

std::optional<std::string> FilledNvApiSource::CardName(H handle) const {
    if (std::optional<std::string> name = DriverText::FullName(getFullName_, handle)) return name;
    // Finding the card's NVML device starts NVML and remembers the device; neither changes
    // what this source answers, so a const caller may cause both.
    auto& self = const_cast<FilledNvApiSource&>(*this);
    Card* card = self.NvmlCard(handle);
    if (card == nullptr) return std::nullopt;
    std::lock_guard lock(card->nvmlMutex);
    return NvmlAnswers::Name(self.nvml_, card->nvmlDevice);
}

std::optional<uint32_t> FilledNvApiSource::PowerDrawMilliwatts(H handle) const {
    // As for the name: finding the NVML device changes nothing this source answers.
    auto& self = const_cast<FilledNvApiSource&>(*this);
    Card* card = self.NvmlCard(handle);
    if (card == nullptr || self.nvml_.GetPowerUsage == nullptr) return std::nullopt;
    std::lock_guard lock(card->nvmlMutex);
    unsigned milliwatts = 0;
    if (self.nvml_.GetPowerUsage(card->nvmlDevice, &milliwatts) != 0) return std::nullopt;
    return milliwatts;
}

std::optional<CardLinks> FilledNvApiSource::LinksOf(H handle) {
    CardLinks links;
    Card& card = CardOf(handle);
    links.pciAddress = card.pciAddress;
    if (links.pciAddress.empty()) {
        links.nvmlProblem = "the library does not tell the card's PCI bus";
        return links;
    }
    links.adapters = i2c_.AdaptersOf(links.pciAddress);
    for (const I2cAdapter& adapter : links.adapters) {
        const std::string why = i2c_.Transport().Check(adapter.number);
        if (!why.empty()) links.i2cProblems.push_back(why);
    }
    if (links.adapters.empty())
        links.i2cProblems.push_back("no I2C adapter of the card is listed under " +
                                    (i2c_.SysfsRoot() / "bus/i2c/devices").string());
    if (NvmlCard(handle) != nullptr)
        links.nvmlDevice = true;
    else if (!nvml_.EnsureReady())
        links.nvmlProblem = nvml_.Outcome().Message();
    else
        links.nvmlProblem = "NVML has no device at " + links.pciAddress;
    return links;
}

}  // namespace pyx
