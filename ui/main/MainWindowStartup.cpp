#include "ui/main/MainWindowStartup.h"

#include <QComboBox>
#include <QSlider>

#include "app/LedServiceScripts.h"
#include "app/TuningRanges.h"
#include "app/TuningSettingsStore.h"
#include "led/LedProbe.h"
#include "ui/controls/CMPButton.h"
#include "ui/main/CVornDlg.h"
#include "ui/main/LedPageCommands.h"
#include "ui/main/MainWindowCommands.h"

namespace pyx {

bool MainWindowStartup::Run() {
    CVornDlg& w = window_;
    AppCore& core = w.Core();
    GpuBoardTable& table = core.Boards();

    // 1, 2: the service scripts in the settings folder; the window's menu and icons.
    WriteInstallScript(core.settings.folder, core.programFolder);
    WriteRemoveScript(core.settings.folder);
    w.CreateWindowParts();

    // 3: skin, tray icon, controls.
    w.ApplySkin(kSkinNormal);
    w.AddTrayIcon();
    w.CreateControls();
    if (table.gpuCount < 2) {
        CMPButton* link = w.Button(kIdLink);
        link->SetBitmaps(195, 195, 195);
        link->setEnabled(false);
    }
    if (table.gpuCount >= 1) w.SendClick(kIdGpu0);
    for (int i = 0; i < kGpuButtonCount; ++i) w.Control(kIdGpu0 + i)->hide();

    // 4: the colour controls.
    for (int k = 0; k < 3; ++k) {
        w.TimerCombo(k)->setCurrentIndex(0);
        w.ColourTrackbar(k)->setRange(0, 255);
    }

    // 5: the stored settings once more.
    const bool settingsMatched = LoadTuningSettings(core.settings.TuningFile(), table, core.State()) == 1;
    w.Page().selectedGpu = 0;

    // 6: every GPU's lighting controllers.
    // The effect engine learns each kind here too: the session's end must reach a basic
    // controller even when no basic effect ran.
    for (int gpu = 0; gpu < table.gpuCount; ++gpu) {
        ProbeLedControllers(table, gpu, w.LedPage().boards[static_cast<size_t>(gpu)]);
        w.Engine().SetLedKind(gpu, w.LedPage().boards[static_cast<size_t>(gpu)].ledKind);
    }
    w.LedCommands().RecordStartupKinds();
    w.LedCommands().EnableLedPage(w.LedCommands().ProbedKind(0) != LedKind::None);

    // 7: the sliders' ranges from the card.
    if (table.IsValidGpu(0)) ReadSliderRanges(table, 0, w.Page());
    w.PageToSliders();

    // 8: a card without a boost clock cannot be tuned.
    if (!CheckCard()) return false;

    // 9: the loaded settings, or what the card shows now.
    if (settingsMatched)
        w.Commands().RefreshFromSettings();
    else
        ShowDefaults();

    // 10 .. 12
    w.InvalidateRect(kLinkAreaRect);
    if (core.commandLineMode == StartMode::SysTray) w.PostClick(kIdHide);
    w.MonitorTimer().start();
    return true;
}

bool MainWindowStartup::CheckCard() {
    BoostClocks clocks;
    const char* refusal = CheckBoostClock(window_.Boards(), 0, clocks);
    if (refusal == nullptr) return true;
    // A driver library that is there but could not be used says so, rather than blaming
    // the card.
    const LibraryOutcome library = window_.Core().Library().Outcome();
    const QString text = QString::fromUtf8(library.Usable() ? std::string(refusal) : library.Message());
    window_.Prompts().ShowError(nullptr, text, QString::fromUtf8(kRefusalCaption));
    window_.Flags().quitRequested = true;
    // The window is never shown: the program ends before its event loop starts.
    emit window_.endProgram();
    return false;
}

void MainWindowStartup::ShowDefaults() {
    CVornDlg& w = window_;
    w.ColourTrackbar(0)->setValue(255);
    w.ColourTrackbar(1)->setValue(0);
    w.ColourTrackbar(2)->setValue(0);
    for (int k = 0; k < 3; ++k) w.TimerCombo(k)->setCurrentIndex(0);
    w.PostClick(kIdCustom);
    w.SendClick(kIdBasicStatic);
    w.LedCommands().ShowCardLighting();
    w.LedCommands().ApplyLighting(false, false);
}

}  // namespace pyx
