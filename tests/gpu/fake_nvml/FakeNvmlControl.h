#pragma once
// The state of the tests' stand-in for NVIDIA's management library, and the calls that set
// it up. Each device keeps what a card keeps: offsets with their ranges, the power limit
// with its default and bounds, the acoustic temperature target, fans with their policy.
#include <cstdint>

extern "C" {

struct PyxFakeNvmlDevice {
    char busId[32];  // "0000:01:00.0"
    int gpcOffsetMHz, gpcMinMHz, gpcMaxMHz;
    int memOffsetMHz, memMinMHz, memMaxMHz;
    unsigned powerLimitMw, powerDefaultMw, powerMinMw, powerMaxMw;
    unsigned powerUsageMw;  // what the card draws now
    unsigned acousticMinC, acousticCurrC, acousticMaxC;
    unsigned fanCount;
    unsigned fanSpeed[4];
    unsigned fanManual[4];  // 1: held by hand
    unsigned fanAutoSpeed;  // what automatic control holds
    unsigned fanMin, fanMax;
    // Areas that answer "not supported": 1 clocks, 2 power, 4 thermal, 8 fans, 16 the name.
    unsigned unsupported;
    // Every change answers "no permission", as for a user without administrator rights.
    int refuseChanges;
    unsigned changes;  // changes taken
    // Given byte for byte: a name that fills it has no NUL, as a misbehaving library's.
    char name[96];
};

// Forgets every device; nvmlInit_v2 will answer initCode.
void pyxFakeNvmlReset(int initCode);
// Adds a device; its index.
int pyxFakeNvmlAdd(const PyxFakeNvmlDevice* device);
PyxFakeNvmlDevice* pyxFakeNvmlDevice(int index);
// Called after every change a device took, with the device's index and its new state (the
// card behind both libraries is one: a test keeps the other library's view of it in step).
void pyxFakeNvmlOnChange(void (*hook)(void* context, int index, const PyxFakeNvmlDevice* device), void* context);
}
