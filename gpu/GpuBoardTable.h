#pragma once
#include <array>
#include <cstdint>

#include "gpu/DiagnosticsSink.h"
#include "gpu/GpuBoard.h"
#include "gpu/NvApiLibrary.h"

namespace pyx {

// Whether bringing the cards up may write to the chips on their buses. The window's start-up
// writes (it unlocks the fan chip, tests a register by writing it, calibrates the fan chip's
// temperature offset and learns its duty limit by setting it to full); a command that only
// looks at the cards withholds those writes and learns what reads alone tell.
enum class DiscoveryWrites : uint8_t { Sent, Withheld };

// Every GPU the program handles (at most five; further ones are ignored), with the
// clock-client readings and the over-voltage percent last read. One per process, owned by
// the application object; every GPU operation names a card by its index here.
class GpuBoardTable {
public:
    // The GPU layer's diagnostics go to standard output.
    explicit GpuBoardTable(NvApiLibrary& library);
    // They go to the sink given, which must outlive the table.
    GpuBoardTable(NvApiLibrary& library, DiagnosticsSink& diagnostics);
    GpuBoardTable(const GpuBoardTable&) = delete;
    GpuBoardTable& operator=(const GpuBoardTable&) = delete;

    NvApiLibrary& Library() const { return library_; }
    DiagnosticsSink& Diagnostics() const { return *diagnostics_; }

    // Enumerates the physical GPUs: gpuCount is the library's count capped at five, each
    // kept board takes the handle of the same index and gets its bus mutex.
    [[nodiscard]] NvStatus EnumerateBoards();
    // Fills deviceIdText from the PCI identifiers; the subsystem id is returned.
    [[nodiscard]] NvStatus ReadPciIdentifiers(int gpu, uint32_t* deviceId, uint32_t* subSystemId);

    bool IsValidGpu(int gpu) const { return gpu >= 0 && gpu < gpuCount; }
    GpuBoard& Board(int gpu) { return boards[static_cast<size_t>(gpu)]; }
    const GpuBoard& Board(int gpu) const { return boards[static_cast<size_t>(gpu)]; }

    uint8_t gpuCount = 0;
    std::array<GpuBoard, kMaxGpus> boards;
    NvClkDomainsInfo clkDomainInfo{};
    NvVfPointsInfo vfPoints{};
    uint8_t percentOv = 0;
    DiscoveryWrites discoveryWrites = DiscoveryWrites::Sent;

private:
    NvApiLibrary& library_;
    DiagnosticsSink standardOutput_;
    DiagnosticsSink* diagnostics_;
};

// The slot table: DDC-port byte of each slot, as the cards are wired.
inline constexpr std::array<uint8_t, kI2cSlotCount> kSlotPortBytes = {2, 2, 3, 2, 3, 2, 0, 0,
                                                                      0, 0, 0, 0, 0, 0, 0};

}  // namespace pyx
