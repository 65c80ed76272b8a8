#pragma once
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

#include "app/AppState.h"
#include "app/FanCurveEngine.h"
#include "app/FanSafety.h"
#include "app/MonitorReadouts.h"
#include "app/ProgramOptions.h"
#include "app/ReapplyGuard.h"
#include "app/SampleHistory.h"
#include "app/ServiceClient.h"
#include "app/PrivateTempFolder.h"
#include "app/SettingsLocation.h"
#include "app/StartMode.h"
#include "app/TuningPage.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/HardwareThread.h"
#include "gpu/NvApiLibrary.h"
#include "platform/InstanceLock.h"
#include "platform/MessageSink.h"
#include "platform/ProcessLauncher.h"
#include "platform/ServiceControl.h"

namespace pyx {

inline constexpr std::string_view kAppCaption = "PYXTUNE";
inline constexpr std::string_view kOtherUserMessage = "PYXTUNE has been started by other user.";
inline constexpr std::string_view kOtherUserNamedMessage = "PYXTUNE has been started by other user (%1).";
inline constexpr std::string_view kAddFontFailedMessage = "Add font failed!";

// The operating-system seams the start-up goes through.
struct AppPlatform {
    InstanceLock& instanceLock;
    MessageSink& messages;
    ServiceControl& services;
    ProcessLauncher* launcher = nullptr;  // for the video-BIOS reader; null: never started
};

enum class StartupResult {
    RunMainWindow,       // this copy runs: open the main window
    OtherUsersCopy,      // another user's copy holds the lock: the message was shown, end
    ActivatedFirstCopy,  // this user's copy runs already and was asked to come forward, end
};

// Loads the stored tuning settings from the file named onto the cards; the result is not
// looked at.
using SettingsLoader = std::function<void(const std::filesystem::path&, GpuBoardTable&, AppState&)>;
// The program's own: LoadTuningSettings.
void LoadDefaultSettings(const std::filesystem::path& file, GpuBoardTable& table, AppState& state);

// The application object's state and start-up without any user interface: the GPU library
// and board table, the program folder, the start mode and the LED service flag. The Qt
// application object owns one and runs Start before it opens the main window.
class AppCore {
public:
    explicit AppCore(std::unique_ptr<LibrarySource> source, std::unique_ptr<Trace> trace = nullptr);
    ~AppCore();
    AppCore(const AppCore&) = delete;
    AppCore& operator=(const AppCore&) = delete;

    // The start-up sequence up to the main window: single instance, program folder as the
    // current directory, the settings folder (made when missing), start mode, LED service
    // query, fonts, hardware start and, when the hardware started, the stored settings from
    // the settings folder's "Preformance.txt", unless an earlier start that put them back never
    // finished (Reapply says which).
    StartupResult Start(AppPlatform& platform, const std::filesystem::path& programFile,
                        std::string_view commandLineTail, const std::function<bool()>& registerFonts,
                        const SettingsLoader& loadSettings = LoadDefaultSettings);

    // The service that owns the cards, given before Start: this process then only reads them
    // (its start sends no chip writes and puts back no settings, which the service does) and
    // sends its changes there.
    void UseService(std::unique_ptr<ServiceClient> service) { service_ = std::move(service); }
    // Null while this process owns the cards.
    ServiceClient* Service() { return service_.get(); }

    NvApiLibrary& Library() { return *library_; }
    GpuBoardTable& Boards() { return boards_; }
    HardwareThread& Hardware() { return *hardwareThread_; }
    AppState& State() { return state_; }
    // The one watch over the fans this process fixed.
    FanSafety& Fans() { return *fans_; }
    // Runs the fan curves of AppState while this process owns the cards; ticked before Fans().
    FanCurveEngine& Curves() { return *curves_; }
    // The last hour of every GPU, a sample a second, for the Monitor view: kept here while this
    // process owns the cards. Empty until Start has brought the cards up.
    const SampleHistory& History() const { return *history_; }
    // One sample of every GPU, at the wall-clock time given (milliseconds since 1970). Where
    // the service owns the cards, what its own history holds that this one does not yet (all
    // of its hour the first time).
    void RecordSamples(int64_t nowMs);
    // The page's sliders as GPU gpu holds them (TuningRanges.h); where the service owns the
    // cards, the fan's level is the service's reading (a fan on the card's I2C chip is out of a
    // window's reach unless it is root).
    void ReadSliders(int gpu, TuningPage& page);
    // One GPU's readouts: asked of the service where it owns the cards, else read here.
    MonitorReadings Readings(int gpu);
    // What the curve GPU gpu's fan follows reads and sends now, wherever it runs; none where
    // no curve runs.
    std::optional<FanCurveLive> CurveLive(int gpu);
    // Whether this start put the stored settings back, and the marker that keeps a crash
    // during that from repeating at every start. Its folder is the settings folder once Start
    // has chosen it.
    ReapplyGuard& Reapply() { return reapply_; }

    // The program's own choices, read from the settings folder by Start.
    ProgramOptions options;
    // Writes options to the settings folder; false when the file could not be written or
    // there is no settings folder.
    bool SaveOptions() const;
    // The program's end, whatever ends it: the fans this run fixed go back to the cards when
    // options ask for it, the put-back marker this start left goes, and so does the video-BIOS
    // reader's folder (the hardware thread is stopped). A fan on a curve goes back whatever the
    // options say: nobody runs its curve any more. Returns what was handed back; a second call
    // does nothing.
    TuningReport End();

    std::filesystem::path programFolder;
    // Where "Preformance.txt", "Led.txt", the "Profile" folder and the service scripts live:
    // beside the program, under the user's configuration folder for an installed program, and
    // in a folder of the simulator's own on simulated cards. None when that folder is not safe
    // to use (settings.refusal says why): then nothing is loaded, re-applied or saved.
    SettingsLocation settings;
    StartMode commandLineMode = StartMode::Unset;
    bool ledServiceInstalled = false;
    // What StartHardware answered; -1 before it ran.
    int startHardwareResult = -1;

private:
    std::unique_ptr<ServiceClient> service_;
    std::unique_ptr<NvApiLibrary> library_;
    GpuBoardTable boards_;
    AppState state_;
    std::unique_ptr<FanSafety> fans_;
    std::unique_ptr<FanCurveEngine> curves_;
    std::unique_ptr<SampleHistory> history_ = std::make_unique<SampleHistory>(0);
    std::optional<int64_t> newestServiceSampleMs_;  // of the samples taken from the service
    ReapplyGuard reapply_;
    bool ended_ = false;
    // How long the end waits for the hardware thread before it removes the reader's folder:
    // one poll or a few bus transactions.
    static constexpr std::chrono::seconds kReaderStopWait{2};
    // Where the video-BIOS reader runs; outlives the thread that starts the reader.
    std::unique_ptr<PrivateTempFolder> readerFolder_;
    std::unique_ptr<HardwareThread> hardwareThread_;
};

}  // namespace pyx
