#include "ui/main/MainWindowCommands.h"

#include <QCoreApplication>
#include <QWidget>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/ReapplyGuard.h"
#include "app/ServiceChanges.h"
#include "app/ServiceReads.h"
#include "app/TuningRanges.h"
#include "app/TuningRevert.h"
#include "app/TuningSettingsStore.h"
#include "ui/controls/CMPButton.h"
#include "ui/main/LedPageCommands.h"
#include "ui/main/MainWindowClicks.h"
#include "ui/main/MainWindowControls.h"
#include "ui/main/MainWindowDialogs.h"
#include "ui/main/MainWindowSliders.h"
#include "ui/main/RunningFanCurve.h"
#include "ui/main/SaveFailureText.h"

namespace pyx {

namespace {

// Index of sender among the controls [firstId, firstId + count), or -1.
int IndexIn(const MainWindowControls& controls, QWidget* sender, int firstId, int count) {
    for (int i = 0; i < count; ++i)
        if (controls.Control(firstId + i) == sender) return i;
    return -1;
}

}  // namespace

void MainWindowCommands::OnCommand(QWidget* sender) {
    if (sender == nullptr) return;
    const MainWindowControls& c = w_.controls;
    LedPageCommands& led = w_.led;
    int k = -1;
    if (sender == c.Control(kIdHide)) {
        OnHide();
    } else if (sender == c.Control(kIdProfile)) {
        w_.dialogs.RunProfileDialog();
    } else if (sender == c.Control(kIdSettings)) {
        w_.dialogs.RunSettingsDialog();
    } else if (sender == c.Control(kIdMinimise)) {
        OnMinimise();
    } else if (sender == c.Control(kIdPicker)) {
        led.OnPalette();
    } else if ((k = IndexIn(c, sender, kIdSwatch1, kSwatchCount)) >= 0) {
        led.OnSwatch(k);
    } else if ((k = IndexIn(c, sender, kIdBasicStatic, kBasicEffectCount)) >= 0) {
        led.OnBasicEffect(k);
    } else if ((k = IndexIn(c, sender, kIdZoneMode1, kZoneModeCount)) >= 0) {
        led.OnZoneMode(k);
    } else if ((k = IndexIn(c, sender, kIdEffectMode1, kEffectModeCount)) >= 0) {
        led.OnEffectMode(k);
    } else if ((k = IndexIn(c, sender, kIdTarget1, kTargetCount)) >= 0) {
        led.OnTarget(k);
    } else if ((k = IndexIn(c, sender, kIdExtreme, 3)) >= 0) {
        OnTuningMode(k + 1);
    } else if (sender == c.Control(kIdCustom)) {
        OnCustom();
    } else if (sender == c.Control(kIdFanCurve)) {
        OnFanCurve();
    } else if (sender == c.Control(kIdNextGpu)) {
        OnNextGpu();
    } else if (sender == c.Control(kIdLink)) {
        OnLink();
    } else if ((k = IndexIn(c, sender, kIdGpu0, kGpuButtonCount)) >= 0) {
        SelectGpu(k);
    } else if (sender == c.Control(kIdApply)) {
        OnApply();
    } else if (sender == c.Control(kIdReset)) {
        OnReset();
    }
}

void MainWindowCommands::OnHide() {
    // Without a settings folder nothing is saved; the start said why.
    const std::optional<std::filesystem::path> file = w_.core.settings.TuningFile();
    std::error_code why;
    const bool failed = file && !w_.page.settingsCommitted &&
                        SaveTuningSettings(w_.core.Boards(), w_.core.State(), *file, &why) != 1;
    QWidget& window = w_.window;
    if (w_.hasTray()) {
        window.hide();
    } else {
        // A window manager may map a never-shown window normally whatever state it asks
        // for; one already on screen is minimised reliably.
        if (!window.isVisible()) window.show();
        window.showMinimized();
    }
    w_.flags.mainWindowShown = false;
    // Said once the window is out of sight: beside the notification-area icon, or where there
    // is none at once in a box of its own.
    if (failed && w_.sayFailedSave) w_.sayFailedSave(SaveFailureText(*file, why));
}

void MainWindowCommands::OnMinimise() { w_.window.showMinimized(); }

void MainWindowCommands::OnTuningMode(int mode) {
    // The VF sliders share the clock sliders' place: they go under the cover too.
    for (int id : {kIdGpuClockSlider, kIdMemClockSlider, kIdPowerSlider, kIdFanSlider, kIdGpuVfSlider, kIdMemVfSlider,
                   kIdFanCurve})
        w_.controls.Control(id)->hide();
    w_.controls.Control(kIdOverlay)->show();
    w_.page.tuningMode = mode;
    // A preset decides the fan: back in Custom, the slider's level holds until a curve is drawn.
    w_.page.fanCurve.reset();
    w_.sliders.ShowFanCurve();
    w_.controls.SelectInGroup(kIdExtreme, 4, mode - 1);
    w_.window.update();
}

void MainWindowCommands::ShowCustomSliders() {
    MainWindowControls& c = w_.controls;
    // A card with a VF range is tuned by its VF sliders, shown where the clock sliders sit.
    const bool vf = w_.page.gpuVf.HasRange();
    c.Control(kIdGpuVfSlider)->setVisible(vf);
    c.Control(kIdMemVfSlider)->setVisible(vf);
    c.Control(kIdGpuClockSlider)->setVisible(!vf);
    c.Control(kIdMemClockSlider)->setVisible(!vf);
    c.Repaint(kSliderValuesRect);
}

void MainWindowCommands::OnCustom() {
    MainWindowControls& c = w_.controls;
    c.Control(kIdOverlay)->hide();
    ShowCustomSliders();
    for (int id : {kIdPowerSlider, kIdFanSlider, kIdFanCurve, kIdReset, kIdApply}) c.Control(id)->show();
    w_.page.tuningMode = kTuningModeCustom;
    c.SelectInGroup(kIdExtreme, 4, 3);
    w_.window.update();
}

void MainWindowCommands::OnFanCurve() {
    if (w_.page.tuningMode != kTuningModeCustom) return;
    if (!w_.dialogs.RunFanCurveDialog(w_.page)) return;
    w_.sliders.ShowFanCurve();
}

void MainWindowCommands::SelectTuningMode(int mode) {
    if (mode == kTuningModeCustom)
        OnCustom();
    else
        OnTuningMode(mode);
}

void MainWindowCommands::OnNextGpu() {
    const int count = w_.core.Boards().gpuCount;
    if (count < 2) return;
    int next = w_.page.selectedGpu + 1;
    if (next == count || next >= kGpuButtonCount) next = 0;
    // Posted: the GPU changes after this click's handling is over, as a user's second click.
    w_.clicks.Post(kIdGpu0 + next);
}

void MainWindowCommands::OnLink() {
    if (w_.core.Boards().gpuCount < 2) return;
    TuningPage& page = w_.page;
    page.linkAllGpus = !page.linkAllGpus;
    const ControlSpec& row = MainControl(kIdLink);
    CMPButton* b = w_.controls.Button(kIdLink);
    b->SetBitmaps(page.linkAllGpus ? row.secondId : row.normalId, row.secondId, row.thirdId);
    b->update();
}

void MainWindowCommands::SelectGpu(int gpu) {
    GpuBoardTable& boards = w_.core.Boards();
    w_.page.selectedGpu = gpu;
    for (int i = 0; i < kGpuButtonCount; ++i) {
        CMPButton* b = w_.controls.Button(kIdGpu0 + i);
        b->SetBitmaps(i == gpu ? 174 : 173, i == gpu ? 174 : 173);
        b->update();
    }
    if (!boards.IsValidGpu(gpu)) return;
    const LibrarySource* source = w_.core.Library().Source();
    w_.controls.ShowGpuCaption(gpu, boards.gpuCount,
                               source ? source->CardName(boards.Board(gpu).gpuHandle) : std::nullopt);
    w_.core.ReadSliders(gpu, w_.page);
    ShowShownGpusCurve();
    w_.sliders.PageToSliders();
    // The sliders shown are the ones Apply takes: a card of the other kind swaps them.
    if (w_.page.tuningMode == kTuningModeCustom) ShowCustomSliders();
    w_.led.OnGpuSelected(gpu);
}

template <typename F>
auto MainWindowCommands::WithPromptOpen(F&& prompt) {
    bool& open = w_.flags.profileDialogOpen;
    open = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{open};
    return prompt();
}

TuningCallbacks MainWindowCommands::Callbacks() {
    TuningCallbacks c;
    c.confirmWarning = [this](const std::string& text, const std::string& caption) {
        return WithPromptOpen([&] {
            return w_.prompts.AskOkCancel(&w_.window, QString::fromStdString(text), QString::fromStdString(caption));
        });
    };
    c.showResult = [this](const std::string& text, const std::string& caption) {
        WithPromptOpen([&] {
            // Anything but the success text names what the cards refused.
            const QString shown = QString::fromStdString(text);
            if (text == kAppliedText)
                w_.prompts.ShowInformation(&w_.window, shown, QString::fromStdString(caption));
            else
                w_.prompts.ShowWarning(&w_.window, shown, QString::fromStdString(caption));
        });
    };
    c.applyLighting = [this] { w_.led.ApplyLighting(true, false); };
    c.pageChanged = [this] { w_.sliders.PageToSliders(); };
    c.selectTuningMode = [this](int mode) { SelectTuningMode(mode); };
    c.showLoadedLighting = [this](const LoadedLighting& loaded) { w_.led.ShowLoadedLighting(loaded); };
    c.applyRestoredLighting = [this] { w_.led.ApplyLighting(false, true); };
    return c;
}

TuningController MainWindowCommands::Controller() {
    return TuningController(w_.core.Boards(), w_.core.State(), Callbacks());
}

void MainWindowCommands::OnApply() {
    if (ServiceClient* service = w_.core.Service()) {
        ApplyThroughService(*service);
        return;
    }
    GpuBoardTable& table = w_.core.Boards();
    const ProgramOptions& options = w_.core.options;
    const TuningRevert before = TuningRevert::Capture(table, TuningRevert::ApplyTargets(table, w_.page), &w_.core.State());
    const uint8_t modeBefore = w_.core.State().gpuMode;
    // Asked, the result goes into the keep box: a box of its own would hold the countdown back
    // until it was answered, and a display the tuning hung cannot answer it.
    TuningCallbacks callbacks = Callbacks();
    std::string result;
    if (options.askBeforeKeeping) callbacks.showResult = [&result](const std::string& text, const std::string&) { result = text; };
    // The result message names every refused write, "needs administrator rights" included.
    if (TuningController(table, w_.core.State(), callbacks).ApplyMode(w_.page) != ApplyOutcome::Applied) return;
    KeepOrRevert(before, modeBefore, result);
}

void MainWindowCommands::KeepOrRevert(const TuningRevert& before, uint8_t modeBefore, const std::string& result) {
    GpuBoardTable& table = w_.core.Boards();
    if (!w_.core.options.askBeforeKeeping) {
        // Not asked, a change is kept at once; what it said is shown as it was said.
        if (!result.empty())
            WithPromptOpen([&] {
                w_.prompts.ShowWarning(&w_.window, QString::fromStdString(result), QString::fromStdString(kAppliedCaption));
            });
        KeepApplied();
        return;
    }
    const KeepAnswer answer = WithPromptOpen(
        [&] { return w_.prompts.AskKeep(&w_.window, QString::fromStdString(result), w_.core.options.revertAfterS); });
    if (answer == KeepAnswer::Keep) {
        KeepApplied();
        return;
    }
    const TuningReport reverted = before.Revert();
    w_.core.State().gpuMode = modeBefore;
    if (table.IsValidGpu(w_.page.selectedGpu)) ReadSliderRanges(table, w_.page.selectedGpu, w_.page);
    ShowRunningFanCurve(w_.core.State(), w_.page);
    w_.sliders.PageToSliders();
    w_.controls.Repaint(kSliderValuesRect);
    if (reverted.AnyRefused()) {
        const std::string text =
            QCoreApplication::translate("MainWindow", "The cards did not take all of the old settings back.").toStdString() +
            "\n\n" + DescribeRefusals(reverted);
        WithPromptOpen([&] {
            w_.prompts.ShowWarning(&w_.window, QString::fromStdString(text), QString::fromStdString(kAppliedCaption));
        });
    }
}

void MainWindowCommands::KeepApplied() {
    // What the user keeps is what the next start puts back; without a settings folder nothing
    // is, as the start said.
    w_.core.Reapply().UserChose(ReapplyGuard::Clock::now());
    const std::optional<std::filesystem::path> file = w_.core.settings.TuningFile();
    std::error_code why;
    if (!file || SaveTuningSettings(w_.core.Boards(), w_.core.State(), *file, &why) == 1) return;
    const std::string text =
        (QCoreApplication::translate("MainWindow", "The settings were applied but could not be saved for the next start (%1).")
             .arg(QString::fromStdString(file->string())) +
         QStringLiteral("\n\n") + SaveFailureText(*file, why))
            .toStdString();
    WithPromptOpen([&] {
        w_.prompts.ShowWarning(&w_.window, QString::fromStdString(text), QString::fromStdString(kAppliedCaption));
    });
}

void MainWindowCommands::OnReset() {
    if (ServiceClient* service = w_.core.Service()) {
        ResetThroughService(*service);
        return;
    }
    const std::string refusedLighting = w_.led.ResetLighting();
    // A fan the card would not take back stays where it was: the user must hear of it.
    const std::string refusedTuning = DescribeRefusals(Controller().ResetTuning(w_.page));
    ShowRunningFanCurve(w_.core.State(), w_.page);
    w_.sliders.ShowFanCurve();
    // A reset is the user's choice of settings as much as an Apply.
    w_.core.Reapply().UserChose(ReapplyGuard::Clock::now());
    w_.controls.Repaint(kSliderValuesRect);
    std::string text;
    if (!refusedLighting.empty())
        text = QCoreApplication::translate("MainWindow", "The lighting was not reset everywhere. Refused writes:").toStdString() +
               "\n\n" + refusedLighting + "\n" +
               QCoreApplication::translate("MainWindow", "The other controllers were reset.").toStdString();
    if (!refusedTuning.empty()) text += (text.empty() ? "" : "\n\n") + refusedTuning;
    if (!text.empty()) {
        WithPromptOpen([&] {
            w_.prompts.ShowWarning(&w_.window, QString::fromStdString(text), QString::fromStdString(kAppliedCaption));
        });
    }
}

void MainWindowCommands::Warn(const std::string& text) {
    WithPromptOpen([&] {
        w_.prompts.ShowWarning(&w_.window, QString::fromStdString(text), QString::fromStdString(kAppliedCaption));
    });
}

void MainWindowCommands::ShowShownGpusCurve() {
    if (ServiceClient* service = w_.core.Service())
        w_.page.fanCurve = w_.page.selectedGpu >= 0 ? ServiceReads(*service).RunningCurve(w_.page.selectedGpu)
                                                    : std::nullopt;
    else
        ShowRunningFanCurve(w_.core.State(), w_.page);
}

void MainWindowCommands::ReadBackShownGpu() {
    w_.core.ReadSliders(w_.page.selectedGpu, w_.page);
    ShowShownGpusCurve();
    w_.sliders.ShowFanCurve();
    w_.sliders.PageToSliders();
    w_.controls.Repaint(kSliderValuesRect);
}

int MainWindowCommands::ServiceWaitS() const {
    // The service's own countdown outlasts the keep box's, so that an answer given at the box's
    // last second still finds the change waiting; a window that hangs gets it taken back.
    return std::min(w_.core.options.revertAfterS + 5, kMaxRevertAfterS);
}

std::string MainWindowCommands::AnswerThroughService(ServiceChanges& changes, const ServiceChanges::Outcome& applied,
                                                     const std::string& shown, bool& kept) {
    const ProgramOptions& options = w_.core.options;
    kept = true;
    if (!applied.waitsForKeep) return shown == kAppliedText ? std::string() : shown;
    kept = !options.askBeforeKeeping || WithPromptOpen([&] {
        return w_.prompts.AskKeep(&w_.window, QString::fromStdString(shown), options.revertAfterS);
    }) == KeepAnswer::Keep;
    if (kept) {
        // Not asked, what the change said is shown as it was said.
        std::string problem = !options.askBeforeKeeping && shown != kAppliedText ? shown : std::string();
        const std::string notKept = changes.Keep(w_.page);
        return problem + (problem.empty() || notKept.empty() ? "" : "\n\n") + notKept;
    }
    const std::string refused = changes.Revert();
    if (refused.empty()) return {};
    return QCoreApplication::translate("MainWindow", "The cards did not take all of the old settings back.").toStdString() +
           "\n\n" + refused;
}

void MainWindowCommands::ApplyThroughService(ServiceClient& service) {
    TuningPage& page = w_.page;
    const int mode = page.tuningMode;
    if (mode == kTuningModeNone) return;
    if (mode != kTuningModeCommon && !Callbacks().confirmWarning(kOverclockWarningText, kOverclockWarningCaption)) return;
    w_.led.ApplyLighting(true, false);
    ServiceChanges changes(service);
    const ServiceChanges::Outcome applied = changes.Apply(page, ServiceWaitS());
    if (!applied.done) {
        Warn(applied.text);
        return;
    }
    page.settingsCommitted = true;
    bool kept = false;
    const std::string problem = AnswerThroughService(changes, applied, applied.text, kept);
    if (kept) w_.core.State().gpuMode = static_cast<uint8_t>(mode);
    ReadBackShownGpu();
    if (!problem.empty()) Warn(problem);
}

void MainWindowCommands::LoadProfileThroughService(const std::filesystem::path& file) {
    ServiceClient* service = w_.core.Service();
    if (service == nullptr) return;
    ServiceChanges changes(*service);
    const ServiceChanges::Outcome loaded = changes.LoadProfile(file, ServiceWaitS(), [this] {
        return Callbacks().confirmWarning(kOverclockWarningText, kOverclockWarningCaption);
    });
    if (!loaded.done) {
        if (!loaded.text.empty()) Warn(loaded.text);
        return;
    }
    const std::string shown =
        !loaded.text.empty() ? loaded.text
        : w_.core.options.askBeforeKeeping ? QCoreApplication::translate("MainWindow", "The profile was loaded.").toStdString()
                                           : std::string(kAppliedText);
    // The profile's own fan curve is the service's to run: the page's is not sent with it (the
    // read-back shows the one that runs).
    w_.page.fanCurve.reset();
    bool kept = false;
    const std::string problem = AnswerThroughService(changes, loaded, shown, kept);
    ReadBackShownGpu();
    if (!problem.empty()) Warn(problem);
}

void MainWindowCommands::ResetThroughService(ServiceClient& service) {
    ServiceChanges changes(service);
    std::string text;
    if (const std::string refused = changes.ResetLighting(); !refused.empty())
        text = QCoreApplication::translate("MainWindow", "The lighting was not reset everywhere. Refused writes:").toStdString() +
               "\n\n" + refused;
    const ServiceChanges::Outcome reset = changes.ResetTuning(w_.page);
    if (!reset.text.empty()) text += (text.empty() ? "" : "\n\n") + reset.text;
    w_.page.settingsCommitted = true;
    ReadBackShownGpu();
    if (!text.empty()) Warn(text);
}

void MainWindowCommands::RefreshFromSettings() {
    Controller().RefreshFromSettings(w_.page);
    // A loaded curve runs at once: the page shows it as the fan's.
    ShowRunningFanCurve(w_.core.State(), w_.page);
    w_.sliders.ShowFanCurve();
}

}  // namespace pyx
