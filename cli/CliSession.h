#pragma once
#include <memory>
#include <ostream>
#include <string>

#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiLibrary.h"

namespace pyx {

// Exit statuses of pyxtunectl.
inline constexpr int kExitOk = 0;
inline constexpr int kExitHardware = 1;  // the hardware or its library refused
inline constexpr int kExitUsage = 2;     // bad arguments or configuration

// The GPU library and board table one command works on, opened from the environment.
class CliSession {
public:
    // Chooses the back-end and enumerates the boards. On failure prints why on err and
    // returns null with exitCode set.
    static std::unique_ptr<CliSession> Open(std::ostream& err, int& exitCode);

    NvApiLibrary& Library() { return *library_; }
    GpuBoardTable& Boards() { return *boards_; }
    // The first line of every listing: which back-end answers, said plainly for the simulator.
    std::string BackendLine() const;

private:
    std::unique_ptr<NvApiLibrary> library_;
    std::unique_ptr<GpuBoardTable> boards_;
};

}  // namespace pyx
