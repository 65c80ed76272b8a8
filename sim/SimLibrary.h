#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

#include "gpu/LibrarySource.h"
#include "gpu/NvApiStatus.h"
#include "sim/SimCard.h"

namespace pyx::sim {

// Status values a real library gives that the simulator imitates.
inline constexpr NvStatus kSimNotInitialised = -4;
inline constexpr NvStatus kSimInvalidArgument = -5;
inline constexpr NvStatus kSimIncompatibleVersion = -9;
inline constexpr NvStatus kSimHandleInvalidated = -10;
inline constexpr NvStatus kSimExpectedPhysicalGpu = -101;

// Interface id -> function address, as the real library's query function resolves them.
using SimOperationTable = std::unordered_map<uint32_t, void*>;
// Every group of simulated operations registers here; adding a group is one line.
void RegisterAllOperations(SimOperationTable& table);

// The simulated GPU library: virtual cards, their buses, and injectable faults. Function
// addresses carry no context, exactly as with the real library, so the operations find
// their library through the one active instance; GPU handles are the cards' addresses.
class SimLibrary {
public:
    SimLibrary();
    ~SimLibrary();
    SimLibrary(const SimLibrary&) = delete;
    SimLibrary& operator=(const SimLibrary&) = delete;

    SimCard& AddCard();
    size_t CardCount() const { return cards_.size(); }
    SimCard& Card(size_t index) { return *cards_.at(index); }
    // The card behind a handle, or null for anything this library did not hand out.
    SimCard* CardFromHandle(const void* handle) const;
    int CardIndex(const SimCard& card) const;

    std::string scenarioName = "empty";

    // The query-interface entry point; answers for the active library only.
    static void* PYX_NVAPI_CALL QueryInterface(uint32_t id);
    static SimLibrary* Active();
    void Activate();
    void Deactivate();

    // ---- faults ----
    // The library does not know this id: the query gives null.
    void SetUnknownId(uint32_t id, bool unknown = true);
    // The operation answers -104, as on a board without that feature.
    void SetUnsupported(uint32_t id, bool unsupported = true);
    // Primary I2C read and write fail; the extended forms work.
    std::atomic<bool> failPrimaryI2c{false};
    // What NvAPI_Initialize answers.
    std::atomic<int32_t> initializeStatus{0};
    // Sets the modelled bus time on every card.
    void SetBusTimePerByte(std::chrono::microseconds perByte);

    // How often an id was asked for (tests of the pointer cache).
    int QueryCount(uint32_t id) const;

    // ---- keeping the cards in step with others that share them ----
    // `before` is called on the calling thread before every operation, told whether the
    // operation may change a card (a set or a bus write); where it answers true, `after` is
    // called on the same thread once the operation has ended, whatever it answered. Both run
    // outside every lock of the library, its cards and their buses. The library's call hooks
    // carry them, so no operation has to know about it. Set before the library is used.
    void SetOperationListener(std::function<bool(bool changesCard)> before, std::function<void()> after);
    // What the call hooks call; BeforeOperation answers whether AfterOperation must follow.
    bool BeforeOperation(bool changesCard);
    void AfterOperation();

    // ---- for the operations ----
    // 0 when the operation may run; otherwise the status to give.
    NvStatus Gate(uint32_t id) const;
    void MarkInitialised(bool value) { initialised_ = value; }

private:
    void* Resolve(uint32_t id);

    std::deque<std::unique_ptr<SimCard>> cards_;
    SimOperationTable operations_;
    mutable std::mutex faultMutex_;
    std::set<uint32_t> unknownIds_;
    std::set<uint32_t> unsupportedIds_;
    std::map<uint32_t, int> queryCounts_;
    std::atomic<bool> initialised_{false};
    std::mutex listenerMutex_;
    std::function<bool(bool)> before_;
    std::function<void()> after_;
};

}  // namespace pyx::sim
