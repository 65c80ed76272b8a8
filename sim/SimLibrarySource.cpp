#include "sim/SimLibrarySource.h"

namespace pyx::sim {

SimLibrarySource::SimLibrarySource(std::unique_ptr<SimLibrary> library) : library_(std::move(library)) {}

SimLibrarySource::~SimLibrarySource() { Close(); }

NvStatus SimLibrarySource::Open(NvQueryInterfaceFn& queryInterface) {
    library_->Activate();
    queryInterface = &SimLibrary::QueryInterface;
    return kNvOk;
}

void SimLibrarySource::Close() { library_->Deactivate(); }

std::string SimLibrarySource::Describe() const {
    return "simulated cards, scenario \"" + library_->scenarioName + "\"";
}

std::optional<std::string> SimLibrarySource::CardName(void* gpuHandle) const {
    const SimCard* card = library_->CardFromHandle(gpuHandle);
    if (card == nullptr) return std::nullopt;
    return card->name;
}

std::optional<uint32_t> SimLibrarySource::PowerDrawMilliwatts(void* gpuHandle) const {
    SimCard* card = library_->CardFromHandle(gpuHandle);
    if (card == nullptr || !card->pluggedIn) return std::nullopt;
    std::lock_guard lock(card->stateMutex);
    card->FollowHeatCycle();
    return card->PowerDrawNowMilliwatts();
}

}  // namespace pyx::sim
