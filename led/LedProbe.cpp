#include "led/LedProbe.h"

#include <cstdio>
#include <utility>

#include "led/LedAddresses.h"
#include "led/LedBus.h"

namespace pyx {

namespace {

// The controllers other than the basic one, in the order of their presence flags.
constexpr std::pair<uint8_t, LedPresence> kPresenceAddresses[] = {
    {0x58, kPresentZone58},   {0xAC, kPresentEffectAC}, {0xB0, kPresentEffectB0},
    {0xB4, kPresentEffectB4}, {0xB8, kPresentEffectB8}, {0x46, kPresentZone46},
    {0x48, kPresentZone48},   {0x4A, kPresentZone4A},   {0x4C, kPresentZone4C}};

std::string AddressName(uint8_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", address);
    return text;
}

// A controller answers when a one-byte read of its register 0x00 succeeds.
bool Answers(GpuBoardTable& table, int gpu, uint8_t address) {
    uint8_t value = 0;
    return ReadLedByte(table, gpu, address, 0x00, value) == kNvOk;
}

// Class 1 is found by its first initialisation command, which it acknowledges.
bool BasicClass1Answers(GpuBoardTable& table, int gpu) {
    return WriteLedBytes(table, gpu, BasicClass1Address(), 0x00, {0x10, 0x01}) == kNvOk;
}

}  // namespace

LedKind ProbeLedKind(GpuBoardTable& table, int gpu) {
    if (Answers(table, gpu, kEffectMainAddress)) return LedKind::EffectAC;
    if (Answers(table, gpu, kZoneAddresses[0])) return LedKind::Zone46;
    if (Answers(table, gpu, kZoneMainAddress)) return LedKind::Zone58;
    if (BasicClass1Answers(table, gpu)) return LedKind::BasicClass1;
    if (Answers(table, gpu, BasicClass2Address())) return LedKind::BasicClass2;
    return LedKind::None;
}

namespace {

void FillPresence(GpuBoardTable& table, int gpu, bool class1Found, LedBoardState& state) {
    if (class1Found) {
        state.ledKind = LedKind::BasicClass1;
    } else if (Answers(table, gpu, BasicClass2Address())) {
        state.ledKind = LedKind::BasicClass2;
    } else {
        state.ledKind = LedKind::None;
    }
    state.present[kPresentBasic] = state.ledKind != LedKind::None;

    for (const auto& [address, flag] : kPresenceAddresses) state.present[flag] = Answers(table, gpu, address);
}

}  // namespace

void ProbeLedBoard(GpuBoardTable& table, int gpu, LedBoardState& state) {
    ProbeLedControllers(table, gpu, state);
    state.ledKind = ProbeLedKind(table, gpu);
}

void ProbeLedControllers(GpuBoardTable& table, int gpu, LedBoardState& state) {
    (void)ProbeLedKind(table, gpu);
    FillPresence(table, gpu, BasicClass1Answers(table, gpu), state);
}

void ProbeLedControllersReadOnly(GpuBoardTable& table, int gpu, LedBoardState& state) {
    FillPresence(table, gpu, Answers(table, gpu, BasicClass1Address()), state);
}

bool ControllerFound(const LedBoardState& found, uint8_t address) {
    for (const auto& [at, flag] : kPresenceAddresses)
        if (at == address) return found.present[flag];
    return false;
}

std::vector<std::string> FoundControllerNames(const LedBoardState& found) {
    std::vector<std::string> names;
    if (found.present[kPresentBasic])
        names.push_back("basic " + AddressName(found.ledKind == LedKind::BasicClass2 ? BasicClass2Address()
                                                                                     : BasicClass1Address()));
    for (const auto& [address, flag] : kPresenceAddresses)
        if (found.present[flag]) names.push_back(AddressName(address));
    return names;
}

LedBoardState LedBoardFromNames(const std::vector<std::string>& names) {
    LedBoardState found;
    for (const std::string& name : names) {
        if (name == "basic " + AddressName(BasicClass1Address())) found.ledKind = LedKind::BasicClass1;
        if (name == "basic " + AddressName(BasicClass2Address())) found.ledKind = LedKind::BasicClass2;
        for (const auto& [address, flag] : kPresenceAddresses)
            if (name == AddressName(address)) found.present[flag] = true;
    }
    found.present[kPresentBasic] = found.ledKind != LedKind::None;
    return found;
}

LedKind FirstSuccessKind(const LedBoardState& found) {
    if (found.present[kPresentEffectAC]) return LedKind::EffectAC;
    if (found.present[kPresentZone46]) return LedKind::Zone46;
    if (found.present[kPresentZone58]) return LedKind::Zone58;
    return found.ledKind;
}

}  // namespace pyx
