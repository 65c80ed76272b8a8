#pragma once
#include <filesystem>
#include <system_error>

#include <QString>

#include "app/SettingsLocation.h"

namespace pyx {

// What the window says of a settings file it could not write: the file's name and the
// system's own reason, in the user's language where the system gives one ("Preformance.txt
// cannot be written: No space left on device").
QString SaveFailureText(const std::filesystem::path& file, const std::error_code& why);
// What it says once when it runs without a settings folder: why none is used ("Settings are
// not used: ... is owned by another user (uid 1000)").
QString SaveFailureText(const SettingsFolderRefusal& refusal);

}  // namespace pyx
