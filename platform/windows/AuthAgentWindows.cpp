#include "platform/AuthAgent.h"

namespace pyx {

// Windows asks for elevation through its own consent prompt; there is no agent to run.
std::optional<std::filesystem::path> AuthAgent::Find() { return std::nullopt; }
std::unique_ptr<AuthAgent> AuthAgent::ForTerminal() { return nullptr; }
std::unique_ptr<AuthAgent> AuthAgent::Start(const std::filesystem::path&) { return nullptr; }

}  // namespace pyx
