#pragma once
#include <filesystem>
#include <string>

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

// Where "Preformance.txt", "Led.txt", the default "Profile" folder and the LED service scripts
// live. Fonts and the video-BIOS reader stay in the program folder whatever this says.
struct SettingsLocation {
    std::filesystem::path folder;
    bool simulated = false;
    bool userConfig = false;  // under the user's configuration home rather than the program

    std::filesystem::path TuningFile() const;
    std::filesystem::path LedFile() const;
    std::filesystem::path ProfileFolder() const;
};

// The one rule, on facts given:
// - Windows, or a copy run from its build or unpacked folder: beside the program;
// - an installed program elsewhere: <configHome>/pyxtune, so it never writes into its own
//   install folder (beside the program only when no configuration home can be found at all);
// - on the simulator: the "simulated" folder inside that place.
SettingsLocation DecideSettingsLocation(const SettingsPlaceFacts& facts);

// The rule above for this process: the facts are read from the system and the environment.
SettingsLocation SettingsLocationFor(const std::filesystem::path& programFolder, bool simulated);

// Makes the folder and every missing folder above it, each readable by this user only (0700)
// where the system has such modes; an existing folder is left as it is. False with a reason
// in error when it cannot be made.
bool MakeSettingsFolder(const std::filesystem::path& folder, std::string& error);

}  // namespace pyx
