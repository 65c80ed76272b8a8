#pragma once

#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

class QWidget;

// What the profile dialog asks of a file picker.
struct ProfileFileRequest
{
    enum class Kind { Save, Load };

    Kind kind = Kind::Load;
    std::filesystem::path initialFolder;  // opened with an empty file name
    QString nameFilter;                   // the one filter offered
    QString defaultSuffix;                // added to a typed name without one; empty: none
};

// Shows a picker owned by `owner`; the chosen file, or nothing when it was cancelled. Tests put
// in their own so that no real picker opens.
using ProfileFilePicker =
    std::function<std::optional<std::filesystem::path>(QWidget* owner, const ProfileFileRequest&)>;

// The platform's file picker through Qt. Saving replaces an existing file without asking and
// may name a file that does not exist yet; loading needs an existing file.
std::optional<std::filesystem::path> PickProfileFileWithQt(QWidget* owner,
                                                           const ProfileFileRequest& request);
