#include "ui/main/MainWindowStartup.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QSlider>
#include <QTimer>

#include <filesystem>
#include <optional>

#include "app/LedServiceScripts.h"
#include "app/ReapplyGuard.h"
#include "app/TuningRanges.h"
#include "app/TuningReport.h"
#include "app/TuningSettingsStore.h"
#include "led/LedProbe.h"
#include "app/ServiceChanges.h"
#include "ui/controls/CMPButton.h"
#include "ui/main/LedPageCommands.h"
#include "ui/main/MainWindowClicks.h"
#include "ui/main/MainWindowCommands.h"
#include "ui/main/MainWindowControls.h"
#include "ui/main/MainWindowMonitor.h"
#include "ui/main/MainWindowSliders.h"
#include "ui/main/SaveFailureText.h"

namespace pyx {

bool MainWindowStartup::Run() {
    AppCore& core = w_.core;
    GpuBoardTable& table = core.Boards();
    MainWindowControls& controls = w_.controls;

#ifdef _WIN32
    // 1: the service scripts in the settings folder; none where there is none. Linux has no
    // such service: the Pyxtune service keeps the lighting there.
    if (const std::optional<std::filesystem::path> folder = core.settings.Folder()) {
        WriteInstallScript(*folder, core.programFolder);
        WriteRemoveScript(*folder);
    }
#endif
    // 2, 3: the window's menu and icons; skin, tray icon, controls.
    w_.build();
    if (table.gpuCount < 2) {
        CMPButton* link = controls.Button(kIdLink);
        link->SetBitmaps(195, 195, 195);
        link->setEnabled(false);
    }
    // Posted: GPU 0 is selected once the start-up is over, so the sliders end on what the card
    // holds rather than on the stored settings' refresh, and its lighting kind is probed last.
    if (table.gpuCount >= 1) w_.clicks.Post(kIdGpu0);
    for (int i = 0; i < kGpuButtonCount; ++i) controls.Control(kIdGpu0 + i)->hide();

    // 4: the colour controls.
    for (int k = 0; k < 3; ++k) {
        controls.TimerCombo(k)->setCurrentIndex(0);
        controls.ColourTrackbar(k)->setRange(0, 255);
    }

    // 5: the stored settings once more, unless a start that put them back never finished:
    // then the page shows what the card holds, so nothing of the file reaches the card unseen,
    // and a hide does not save those untouched values over the stored settings.
    ReapplyGuard& reapply = core.Reapply();
    TuningReport stored;
    bool settingsMatched = false;
    const std::optional<std::filesystem::path> tuningFile = core.settings.TuningFile();
    // Where the service owns the cards it has put the machine's settings back itself, and
    // keeps what the user changes: this window's file is neither loaded nor saved.
    if (reapply.Skipped() || core.Service() != nullptr)
        w_.page.settingsCommitted = true;
    else if (tuningFile)
        settingsMatched = LoadTuningSettings(*tuningFile, table, core.State(), &stored) == 1;
    reapply.Finished(stored.AnyRefused(), ReapplyGuard::Clock::now());
    // The marker goes a while after a put-back every card took; the one-second timer looks.
    QObject::connect(&w_.monitor.Timer(), &QTimer::timeout, &w_.monitor.Timer(),
                     [&reapply] { reapply.Tick(ReapplyGuard::Clock::now()); });
    w_.page.selectedGpu = 0;

    // 6: every GPU's lighting controllers.
    // The effect engine learns each kind here too: the session's end must reach a basic
    // controller even when no basic effect ran.
    // The service's probe where it owns the bus: this window sends nothing there.
    const std::vector<LedBoardState> owned =
        core.Service() != nullptr ? ServiceChanges(*core.Service()).LedBoards() : std::vector<LedBoardState>();
    for (int gpu = 0; gpu < table.gpuCount && gpu < kMaxGpus; ++gpu) {
        LedBoardState& board = w_.ledPage.boards[static_cast<size_t>(gpu)];
        if (core.Service() == nullptr)
            ProbeLedControllers(table, gpu, board);
        else
            board = static_cast<size_t>(gpu) < owned.size() ? owned[static_cast<size_t>(gpu)] : LedBoardState{};
        w_.engine.SetLedKind(gpu, board.ledKind);
    }
    w_.led.RecordStartupKinds();
    w_.led.EnableLedPage(w_.led.ProbedKind(0) != LedKind::None);

    // 7: the sliders' ranges from the card.
    w_.core.ReadSliders(0, w_.page);
    w_.sliders.PageToSliders();

    // 8: a card without a boost clock cannot be tuned.
    if (!CheckCard()) return false;

    // 9: the loaded settings, or what the card shows now.
    if (settingsMatched)
        w_.commands.RefreshFromSettings();
    else
        ShowDefaults();

    // 10 .. 12
    controls.Repaint(kLinkAreaRect);
    if (core.commandLineMode == StartMode::SysTray) w_.clicks.Post(kIdHide);
    w_.monitor.Timer().start();
    // A stored level the card would not take (a fan level below its minimum, say) left that
    // setting to the card: the user learns it here rather than from a fan that does not obey.
    if ((stored.AnyRefused() || !stored.Skipped().empty()) && w_.warn) {
        std::string text = std::string(kTuningSettingsFileName) + ": " + DescribeRefusals(stored);
        if (!stored.Skipped().empty()) {
            text += std::string(stored.AnyRefused() ? "\n\n" : "") +
                    QCoreApplication::translate("MainWindow", "Not sent, outside the card's range:").toStdString() + "\n";
            for (const std::string& why : stored.Skipped()) text += "  " + why + "\n";
        }
        w_.warn(QString::fromStdString(text));
    }
    if (reapply.Skipped() && w_.warn) w_.warn(QString::fromUtf8(kReapplySkippedMessage.data(), kReapplySkippedMessage.size()));
    // Said once, here: every save after this is left out without a word.
    if (core.settings.refusal && w_.warn) w_.warn(SaveFailureText(*core.settings.refusal));
    return true;
}

bool MainWindowStartup::CheckCard() {
    BoostClocks clocks;
    const char* refusal = CheckBoostClock(w_.core.Boards(), 0, clocks);
    if (refusal == nullptr) return true;
    // A driver library that is there but could not be used says so, rather than blaming
    // the card.
    const LibraryOutcome library = w_.core.Library().Outcome();
    const QString text = QString::fromUtf8(library.Usable() ? std::string(refusal) : library.Message());
    w_.prompts.ShowError(nullptr, text, QString::fromUtf8(kRefusalCaption));
    w_.flags.quitRequested = true;
    // The window is never shown: the program ends before its event loop starts.
    w_.endProgram();
    return false;
}

void MainWindowStartup::ShowDefaults() {
    MainWindowControls& controls = w_.controls;
    controls.ColourTrackbar(0)->setValue(255);
    controls.ColourTrackbar(1)->setValue(0);
    controls.ColourTrackbar(2)->setValue(0);
    for (int k = 0; k < 3; ++k) controls.TimerCombo(k)->setCurrentIndex(0);
    // Posted: Custom is chosen after the rest of the start-up, behind the clicks already queued.
    w_.clicks.Post(kIdCustom);
    w_.clicks.Send(kIdBasicStatic);
    if (w_.core.Service() != nullptr) return;
    w_.led.ShowCardLighting();
    w_.led.ApplyLighting(false, false);
}

}  // namespace pyx
