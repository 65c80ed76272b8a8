#pragma once
// Shared checks of the simulated operations: the library is active and initialised, the
// operation is not switched off, the handle is one of its cards, the record's tag is right.
#include <cstdint>

#include "gpu/NvApiIds.h"
#include "sim/SimLibrary.h"

namespace pyx::sim {

// Resolves the card behind handle after the gate; status != 0 means answer that status.
inline NvStatus EnterCard(NvOp op, const void* handle, SimCard*& card) {
    SimLibrary* library = SimLibrary::Active();
    if (library == nullptr) return kSimNotInitialised;
    if (const NvStatus gate = library->Gate(NvOpId(op)); gate != kNvOk) return gate;
    card = library->CardFromHandle(handle);
    if (card == nullptr) return kSimExpectedPhysicalGpu;
    return card->pluggedIn ? kNvOk : kSimHandleInvalidated;
}

template <typename Record>
NvStatus EnterCardRecord(NvOp op, const void* handle, Record* record, uint32_t tag, SimCard*& card) {
    if (const NvStatus status = EnterCard(op, handle, card); status != kNvOk) return status;
    if (record == nullptr) return kSimInvalidArgument;
    if (record->version != tag) return kSimIncompatibleVersion;
    return kNvOk;
}

}  // namespace pyx::sim
