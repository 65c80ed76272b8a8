#pragma once

#include "app/AppState.h"
#include "app/TuningReport.h"
#include "gpu/GpuBoardTable.h"
#include "ui/dialogs/ProfileFilePicker.h"

#include <QDialog>
#include <QString>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

class QPushButton;

// What the profile dialog works on; everything outlives the dialog's run.
struct ProfileDlgContext
{
    pyx::GpuBoardTable& table;
    pyx::AppState& state;
    // The program's folder, also the current directory that the settings files rely on.
    std::filesystem::path programFolder;
    // The main window's RefreshFromSettings: brings its controls and the card in line with the
    // settings just loaded. Called once after every confirmed load.
    std::function<void()> refreshFromSettings{};
    ProfileFilePicker picker = PickProfileFileWithQt;
    // The pause between a load and the refresh; unset: the thread sleeps.
    std::function<void(std::chrono::milliseconds)> sleep{};
    // Where the pickers open (made when missing): the "Profile" folder of the settings
    // folder. None where no settings folder is used: the pickers open where the system puts
    // them, and no folder is made anywhere.
    std::optional<std::filesystem::path> profileFolder{};
    // The system's reason why a profile could not be written, as the window says it of every
    // file it could not write. Unset: only the file is named.
    std::function<QString(const std::filesystem::path& file, const std::error_code& why)> describeSaveFailure{};
    // Tells the user what did not happen: a profile that could not be written or read, and
    // each value a card refused. Unset: nobody is told.
    std::function<void(const std::string& text)> reportFailure{};
    // A load that matched is a change the user is asked to keep, as an Apply is: beforeLoad runs
    // before anything reaches a card (the window takes the cards' tuning then), keepLoaded after
    // the refresh with the load's answers, in place of reportFailure's account of them. Unset:
    // the load is kept as it is.
    std::function<void()> beforeLoad{};
    // Asked with the chosen file before anything of it is sent: false leaves the cards alone
    // (a value outside a card's range, an overclock the user did not confirm). Unset: loaded.
    std::function<bool(const std::filesystem::path& file)> mayLoad{};
    std::function<void(const pyx::TuningReport& report)> keepLoaded{};
    // Set where another process owns the cards: the file chosen goes there instead of being
    // loaded here, and that side asks, applies and reports.
    std::function<void(const std::filesystem::path& file)> loadElsewhere{};
    // Set there too: the save of the file chosen, with why it failed (empty when saved).
    std::function<std::string(const std::filesystem::path& file)> saveElsewhere{};
};

// Saves the settings of every GPU to a named profile file in the "Profile" folder of the
// settings folder, or loads one back and makes it the current settings. A confirmed save or load ends
// the dialog; a cancelled picker leaves it open. A save or load that did not take, wholly or
// in part, is reported; a clean one shows nothing.
class CProfileDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kLoadId = 1021;
    static constexpr int kSaveId = 1022;
    static constexpr char kNameFilter[] = "INI file(*.ini)";
    static constexpr char kDefaultSuffix[] = "ini";
    static constexpr std::chrono::milliseconds kRefreshDelay{100};

    explicit CProfileDlg(ProfileDlgContext context, QWidget* parent = nullptr);

    // Runs the dialog modally with `profileDialogOpen` set for as long as it is open, so that
    // the main window's timer leaves the skin alone meanwhile.
    int RunModal(bool& profileDialogOpen);

    // The two buttons' work (also what a click on them does).
    void OnSave();
    void OnLoad();

    // The "Save" (kSaveId) or "Load" (kLoadId) button; null for other ids.
    QPushButton* Button(int id) const;

private:
    // Creates the folder, runs the picker and puts the current directory back; the chosen file.
    std::optional<std::filesystem::path> Pick(ProfileFileRequest::Kind kind);

    ProfileDlgContext context_;
    QPushButton* saveButton_ = nullptr;
    QPushButton* loadButton_ = nullptr;
};
