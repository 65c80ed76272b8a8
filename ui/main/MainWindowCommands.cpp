#include "ui/main/MainWindowCommands.h"

#include <QWidget>

#include "app/TuningRanges.h"
#include "app/TuningSettingsStore.h"
#include "ui/controls/CMPButton.h"
#include "ui/main/CVornDlg.h"
#include "ui/main/LedPageCommands.h"
#include "ui/main/MainWindowDialogs.h"

namespace pyx {

namespace {

// Index of sender among the controls [firstId, firstId + count), or -1.
int IndexIn(CVornDlg& w, QWidget* sender, int firstId, int count) {
    for (int i = 0; i < count; ++i)
        if (w.Control(firstId + i) == sender) return i;
    return -1;
}

}  // namespace

void MainWindowCommands::OnCommand(QWidget* sender) {
    if (sender == nullptr) return;
    CVornDlg& w = window_;
    LedPageCommands& led = w.LedCommands();
    int k = -1;
    if (sender == w.Control(kIdHide)) {
        OnHide();
    } else if (sender == w.Control(kIdProfile)) {
        w.Dialogs().RunProfileDialog();
    } else if (sender == w.Control(kIdSettings)) {
        w.Dialogs().RunSettingsDialog();
    } else if (sender == w.Control(kIdMinimise)) {
        OnMinimise();
    } else if (sender == w.Control(kIdPicker)) {
        led.OnPalette();
    } else if ((k = IndexIn(w, sender, kIdSwatch1, kSwatchCount)) >= 0) {
        led.OnSwatch(k);
    } else if ((k = IndexIn(w, sender, kIdBasicStatic, kBasicEffectCount)) >= 0) {
        led.OnBasicEffect(k);
    } else if ((k = IndexIn(w, sender, kIdZoneMode1, kZoneModeCount)) >= 0) {
        led.OnZoneMode(k);
    } else if ((k = IndexIn(w, sender, kIdEffectMode1, kEffectModeCount)) >= 0) {
        led.OnEffectMode(k);
    } else if ((k = IndexIn(w, sender, kIdTarget1, kTargetCount)) >= 0) {
        led.OnTarget(k);
    } else if ((k = IndexIn(w, sender, kIdExtreme, 3)) >= 0) {
        OnTuningMode(k + 1);
    } else if (sender == w.Control(kIdCustom)) {
        OnCustom();
    } else if (sender == w.Control(kIdNextGpu)) {
        OnNextGpu();
    } else if (sender == w.Control(kIdLink)) {
        OnLink();
    } else if ((k = IndexIn(w, sender, kIdGpu0, kGpuButtonCount)) >= 0) {
        SelectGpu(k);
    } else if (sender == w.Control(kIdApply)) {
        OnApply();
    } else if (sender == w.Control(kIdReset)) {
        OnReset();
    }
}

void MainWindowCommands::OnHide() {
    if (!window_.Page().settingsCommitted)
        SaveTuningSettings(window_.Boards(), window_.Core().State(), window_.Core().settings.TuningFile());
    if (window_.HasTray()) {
        window_.hide();
    } else {
        // A window manager may map a never-shown window normally whatever state it asks
        // for; one already on screen is minimised reliably.
        if (!window_.isVisible()) window_.show();
        window_.showMinimized();
    }
    window_.Flags().mainWindowShown = false;
}

void MainWindowCommands::OnMinimise() { window_.showMinimized(); }

void MainWindowCommands::OnTuningMode(int mode) {
    // The VF sliders share the clock sliders' place: they go under the cover too.
    for (int id : {kIdGpuClockSlider, kIdMemClockSlider, kIdPowerSlider, kIdFanSlider, kIdGpuVfSlider, kIdMemVfSlider})
        window_.Control(id)->hide();
    window_.Control(kIdOverlay)->show();
    window_.Page().tuningMode = mode;
    window_.LedCommands().SelectInGroup(kIdExtreme, 4, mode - 1);
    window_.update();
}

void MainWindowCommands::ShowCustomSliders() {
    CVornDlg& w = window_;
    // A card with a VF range is tuned by its VF sliders, shown where the clock sliders sit.
    const bool vf = w.Page().gpuVf.HasRange();
    w.Control(kIdGpuVfSlider)->setVisible(vf);
    w.Control(kIdMemVfSlider)->setVisible(vf);
    w.Control(kIdGpuClockSlider)->setVisible(!vf);
    w.Control(kIdMemClockSlider)->setVisible(!vf);
    w.InvalidateRect(kSliderValuesRect);
}

void MainWindowCommands::OnCustom() {
    CVornDlg& w = window_;
    w.Control(kIdOverlay)->hide();
    ShowCustomSliders();
    for (int id : {kIdPowerSlider, kIdFanSlider, kIdReset, kIdApply}) w.Control(id)->show();
    w.Page().tuningMode = kTuningModeCustom;
    w.LedCommands().SelectInGroup(kIdExtreme, 4, 3);
    w.update();
}

void MainWindowCommands::OnNextGpu() {
    const int count = window_.Boards().gpuCount;
    if (count < 2) return;
    int next = window_.Page().selectedGpu + 1;
    if (next == count || next >= kGpuButtonCount) next = 0;
    window_.PostClick(kIdGpu0 + next);
}

void MainWindowCommands::OnLink() {
    if (window_.Boards().gpuCount < 2) return;
    TuningPage& page = window_.Page();
    page.linkAllGpus = !page.linkAllGpus;
    const ControlSpec& row = MainControl(kIdLink);
    CMPButton* b = window_.Button(kIdLink);
    b->SetBitmaps(page.linkAllGpus ? row.secondId : row.normalId, row.secondId, row.thirdId);
    b->update();
}

void MainWindowCommands::SelectGpu(int gpu) {
    CVornDlg& w = window_;
    w.Page().selectedGpu = gpu;
    for (int i = 0; i < kGpuButtonCount; ++i) {
        CMPButton* b = w.Button(kIdGpu0 + i);
        b->SetBitmaps(i == gpu ? 174 : 173, i == gpu ? 174 : 173);
        b->update();
    }
    if (!w.Boards().IsValidGpu(gpu)) return;
    ReadSliderRanges(w.Boards(), gpu, w.Page());
    w.PageToSliders();
    // The sliders shown are the ones Apply takes: a card of the other kind swaps them.
    if (w.Page().tuningMode == kTuningModeCustom) ShowCustomSliders();
    w.LedCommands().OnGpuSelected(gpu);
}

template <typename F>
auto MainWindowCommands::WithPromptOpen(F&& prompt) {
    bool& open = window_.Flags().profileDialogOpen;
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
            return window_.Prompts().AskOkCancel(&window_, QString::fromStdString(text), QString::fromStdString(caption));
        });
    };
    c.showResult = [this](const std::string& text, const std::string& caption) {
        WithPromptOpen([&] {
            // Anything but the success text names what the cards refused.
            UserPrompts& prompts = window_.Prompts();
            const QString shown = QString::fromStdString(text);
            if (text == kAppliedText)
                prompts.ShowInformation(&window_, shown, QString::fromStdString(caption));
            else
                prompts.ShowWarning(&window_, shown, QString::fromStdString(caption));
        });
    };
    c.applyLighting = [this] { window_.LedCommands().ApplyLighting(true, false); };
    c.pageChanged = [this] { window_.PageToSliders(); };
    c.selectTuningMode = [this](int mode) { window_.SendClick(kIdExtreme + mode - 1); };
    c.showLoadedLighting = [this](const LoadedLighting& loaded) { window_.LedCommands().ShowLoadedLighting(loaded); };
    c.applyRestoredLighting = [this] { window_.LedCommands().ApplyLighting(false, true); };
    return c;
}

TuningController MainWindowCommands::Controller() {
    return TuningController(window_.Boards(), window_.Core().State(), Callbacks());
}

void MainWindowCommands::OnApply() {
    // The result message names every refused write, "needs administrator rights" included.
    Controller().ApplyMode(window_.Page());
}

void MainWindowCommands::OnReset() {
    CVornDlg& w = window_;
    LedPageCommands& led = w.LedCommands();
    const std::string refused = led.ResetLeds();
    const int gpu = w.Page().selectedGpu;
    if (gpu >= 0 && gpu < kMaxGpus) {
        if (IsBasicKind(w.LedPage().boards[static_cast<size_t>(gpu)].ledKind)) led.BasicLedReset();
    }
    Controller().ResetTuning(w.Page());
    w.InvalidateRect(kSliderValuesRect);
    if (!refused.empty()) {
        const std::string text = "The lighting was not reset everywhere. Refused writes:\n\n" + refused +
                                 "\nThe other controllers were reset.";
        WithPromptOpen([&] {
            w.Prompts().ShowWarning(&w, QString::fromStdString(text), QString::fromStdString(kAppliedCaption));
        });
    }
}

void MainWindowCommands::RefreshFromSettings() { Controller().RefreshFromSettings(window_.Page()); }

}  // namespace pyx
