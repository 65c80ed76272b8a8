#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pyx {

// The folder the simulator keeps its settings in, inside the place real cards' settings live,
// so that simulated cards never overwrite a real card's "Preformance.txt" or "Led.txt".
inline constexpr char kSimulatedSettingsFolderName[] = "simulated";
// The default folder of the profile dialog, inside the settings folder.
inline constexpr char kProfileFolderName[] = "Profile";
// The folder under the user's configuration home that an installed program keeps its
// settings in.
inline constexpr char kConfigFolderName[] = "pyxtune";

// What decides where the settings live; gathered from the system by SettingsLocationFor.
struct SettingsPlaceFacts {
    std::filesystem::path programFolder;
    bool simulated = false;
    // The program runs on Windows, where it runs elevated and keeps everything beside itself.
    bool windows = false;
    // The program lies in a system folder (/usr, /opt) or one this user cannot write.
    bool installed = false;
    // $XDG_CONFIG_HOME, else $HOME/.config, else the account's home/.config; empty when none
    // of them is an absolute path.
    std::filesystem::path configHome;
};

// Why the folder the rule chose is not used. Another user could have planted what lies there
// (a link to a file of root's, a crafted "Preformance.txt"), so it is neither read nor written.
enum class SettingsFolderFault {
    NoPlace,         // no absolute folder could be found: the working folder is not one
    Link,            // a link, wherever it points
    NotFolder,       // a file or something else stands in the folder's place
    OtherOwner,      // another user's folder
    OthersMayWrite,  // its group or everybody may write in it
    Unexamined,      // the system would not say what it is
};

// The texts of the faults; each "Settings are not used: ...", with %1 the folder at fault.
inline constexpr char kSettingsNoPlaceText[] = "Settings are not used: no folder for them could be found";
inline constexpr char kSettingsLinkText[] = "Settings are not used: %1 is a link";
inline constexpr char kSettingsNotFolderText[] = "Settings are not used: %1 is not a folder";
inline constexpr char kSettingsOtherOwnerText[] = "Settings are not used: %1 is owned by another user (uid %2)";
inline constexpr char kSettingsOthersMayWriteText[] = "Settings are not used: %1 can be written by other users";
inline constexpr char kSettingsUnexaminedText[] = "Settings are not used: %1 cannot be examined (%2)";

struct SettingsFolderRefusal {
    SettingsFolderFault fault = SettingsFolderFault::NoPlace;
    std::filesystem::path where;  // the folder at fault: the settings folder or one above it
    unsigned long ownerUid = 0;   // OtherOwner
    std::string systemReason;     // Unexamined
    // What the user is told, in their language.
    std::string Text() const;
};

// Where "Preformance.txt", "Led.txt", the default "Profile" folder and the LED service scripts
// live. Fonts and the video-BIOS reader stay in the program folder whatever this says.
struct SettingsLocation {
    // The folder the rule chose, whether or not it is used: what the user is told of. Nothing is
    // read from or written to it except through Folder().
    std::filesystem::path chosen;
    // What chosen lies below: the configuration home, or the program folder. The folders between
    // the two are the program's own and are examined; the root is the user's choice.
    std::filesystem::path root;
    // Set when chosen is not safe to use; then no settings are used at all, and none are saved,
    // here or anywhere else.
    std::optional<SettingsFolderRefusal> refusal;
    bool simulated = false;
    bool userConfig = false;  // under the user's configuration home rather than the program

    std::optional<std::filesystem::path> Folder() const;
    std::optional<std::filesystem::path> File(std::string_view name) const;
    std::optional<std::filesystem::path> TuningFile() const;
    std::optional<std::filesystem::path> LedFile() const;
    std::optional<std::filesystem::path> ProfileFolder() const;
    // The refusal's text; empty when the folder is used.
    std::string WhyNotUsed() const;
};

// The one rule, on facts given:
// - Windows, or a copy run from its build or unpacked folder: beside the program;
// - an installed program elsewhere: <configHome>/pyxtune, so it never writes into its own
//   install folder (beside the program only when no configuration home can be found at all);
// - on the simulator: the "simulated" folder inside that place.
SettingsLocation DecideSettingsLocation(const SettingsPlaceFacts& facts);

// Whether the location's folder may be used: it is absolute, and each folder from below the
// root down to it that exists is a real folder (not a link), this user's own, and nobody
// else's to write in. A missing one is fine: MakeSettingsFolder makes it this user's alone.
// The root and each folder above it (links followed) is this user's or root's and nobody
// else's to write in (sticky folders aside), so nobody can swap a checked folder for a link
// while the program runs. On Windows only the first holds: the folder there is the program's own.
std::optional<SettingsFolderRefusal> CheckSettingsFolder(const SettingsLocation& location);

// The rule above for this process: the facts are read from the system and the environment, and
// the folder is checked (CheckSettingsFolder); a refused one is not used.
SettingsLocation SettingsLocationFor(const std::filesystem::path& programFolder, bool simulated);

// Makes the location's folder and every missing folder above it, each readable by this user
// only (0700) where the system has such modes; an existing folder is left as it is. Below the
// root no link is followed: each folder is made and examined in turn, and one found unsafe
// (planted since the check, say) makes the location refused. False with a reason in error
// when the folder is refused or cannot be made.
bool MakeSettingsFolder(SettingsLocation& location, std::string& error);

}  // namespace pyx
