#pragma once
#include <filesystem>
#include <system_error>

#include <QString>

namespace pyx {

// What the window says of a settings file it could not write: the file's name and the
// system's own reason, in the user's language where the system gives one ("Preformance.txt
// cannot be written: No space left on device").
QString SaveFailureText(const std::filesystem::path& file, const std::error_code& why);

}  // namespace pyx
