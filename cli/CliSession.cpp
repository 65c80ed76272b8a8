#include "cli/CliSession.h"

#include "app/GpuBackend.h"
#include "gpu/Trace.h"

namespace pyx {

std::unique_ptr<CliSession> CliSession::Open(std::ostream& err, int& exitCode) {
    GpuBackendChoice choice = ChooseGpuBackendFromEnvironment();
    if (!choice.source) {
        err << "pyxtunectl: " << choice.error << "\n";
        exitCode = kExitUsage;
        return nullptr;
    }
    auto session = std::unique_ptr<CliSession>(new CliSession());
    session->library_ = std::make_unique<NvApiLibrary>(std::move(choice.source), Trace::FromEnvironment());
    session->boards_ = std::make_unique<GpuBoardTable>(*session->library_);
    const NvStatus init = session->library_->Initialize();
    if (init != kNvOk) {
        err << "pyxtunectl: the GPU library could not be used (" << session->library_->BackendName() << ": "
            << session->library_->BackendDescription() << ", status " << init << ")\n";
        exitCode = kExitHardware;
        return nullptr;
    }
    const NvStatus enumerated = session->boards_->EnumerateBoards();
    if (enumerated != kNvOk) {
        err << "pyxtunectl: no NVIDIA GPU found (status " << enumerated << ")\n";
        exitCode = kExitHardware;
        return nullptr;
    }
    exitCode = kExitOk;
    return session;
}

std::string CliSession::BackendLine() const {
    if (library_->IsSimulated())
        return "Back-end: sim - SIMULATED cards, no real GPU is touched (" + library_->BackendDescription() + ")";
    return "Back-end: nvapi (" + library_->BackendDescription() + ")";
}

}  // namespace pyx
