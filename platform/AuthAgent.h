#pragma once
#include <filesystem>
#include <memory>
#include <optional>

namespace pyx {

// Someone to ask the user for an administrator's password while this process waits for the
// service's answer to a change, where no desktop provides one (a console, an ssh session):
// the system's authority (polkit) refuses a change it cannot ask anyone about. Ended with the
// object.
class AuthAgent {
public:
    virtual ~AuthAgent() = default;

    // For this process, when one is useful: standard input and error are a terminal, the user
    // is not the administrator, and the platform's text agent is installed. Null otherwise.
    static std::unique_ptr<AuthAgent> ForTerminal();
    // The platform's text agent at `program` for this process, once it says it is registered;
    // null when it did not start or did not say so in time.
    static std::unique_ptr<AuthAgent> Start(const std::filesystem::path& program);
    // Where the platform's text agent is installed; none where it is not, or on a platform
    // without one.
    static std::optional<std::filesystem::path> Find();
};

}  // namespace pyx
