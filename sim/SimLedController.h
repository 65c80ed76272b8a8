#pragma once
#include <cstdint>
#include <mutex>
#include <set>

#include <nlohmann/json_fwd.hpp>

#include "sim/SimRegisterFile.h"

namespace pyx::sim {

// What one lighting zone shows, as a test or a preview sees it.
struct SimLedShown {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t effectCode = 0;
    uint8_t parameter = 0;
    uint8_t level = 0xFF;   // brightness byte of the basic controller's colour block
    bool defaultMode = false;  // the effect controller's built-in mode (0x50 = 0xFF)
    uint32_t updates = 0;   // commits and latches seen so far
};

// Base of the lighting controller models: a register file with auto-increment that can be
// told, by its scenario entry, to refuse writes to some registers ("nakRegisters"), as a
// controller that stops answering in the middle of a sequence does, and to start with some
// registers preset ("registers").
class SimLedController : public SimRegisterFile {
public:
    bool Write(uint8_t reg, const uint8_t* data, size_t length) override;

    SimLedShown Shown() const;
    // Registers whose writes are not acknowledged (nothing of the write is stored).
    void SetNakRegister(uint8_t reg, bool nak = true);

    // Reads "registers" and "nakRegisters" of a scenario entry; throws std::runtime_error
    // when the entry's "address" is not in allowed.
    void Configure(const nlohmann::json& config, std::initializer_list<uint8_t> allowed,
                   const char* modelName);

protected:
    // Called by the models from OnWrite, with the register lock held.
    void UpdateShown(const SimLedShown& shown);
    SimLedShown ShownLocked() const { return shown_; }

private:
    mutable std::mutex shownMutex_;
    SimLedShown shown_;
    std::mutex nakMutex_;
    std::set<uint8_t> nakRegisters_;
};

}  // namespace pyx::sim
