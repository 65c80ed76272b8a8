#include "gpu/LibraryOutcome.h"

namespace pyx {

namespace {

// What a failed initialisation usually means, so a user knows where to look.
std::string InitHint(const std::string& function, NvStatus status) {
    if (function.rfind("nvml", 0) == 0) {
        if (status == 9) return " (the NVIDIA driver is not loaded)";
        if (status == 4) return " (needs administrator rights)";
        return "";
    }
    switch (status) {
    case -1: return " (no NVIDIA GPU, or the NVIDIA driver is not loaded)";
    case -6: return " (no NVIDIA GPU found)";
    case kNvNoPermission: return " (needs administrator rights)";
    default: return "";
    }
}

}  // namespace

LibraryOutcome LibraryOutcome::NotInstalledOutcome(std::string library) {
    LibraryOutcome outcome;
    outcome.library = std::move(library);
    return outcome;
}

LibraryOutcome LibraryOutcome::RefusedOutcome(std::string library, std::string path, std::string reason) {
    LibraryOutcome outcome;
    outcome.state = LibraryState::Refused;
    outcome.library = std::move(library);
    outcome.path = std::move(path);
    outcome.reason = std::move(reason);
    return outcome;
}

LibraryOutcome LibraryOutcome::ReadyOutcome(std::string library, std::string path) {
    LibraryOutcome outcome;
    outcome.state = LibraryState::Ready;
    outcome.library = std::move(library);
    outcome.path = std::move(path);
    return outcome;
}

std::string LibraryOutcome::Message() const {
    switch (state) {
    case LibraryState::NotInstalled:
        return library + ": not installed";
    case LibraryState::Refused:
        return library + ": found but refused: " + reason;
    case LibraryState::InitFailed:
        return library + ": found, but " + initFunction + " returned " + std::to_string(initStatus) +
               InitHint(initFunction, initStatus);
    case LibraryState::Ready:
        break;
    }
    return path.empty() ? library : path;
}

}  // namespace pyx
