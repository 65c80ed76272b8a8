#include "ui/main/LedPageCommands.h"

#include <QComboBox>
#include <QSlider>

#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "app/ServiceChanges.h"
#include "app/TuningSettingsStore.h"
#include "led/LedApply.h"
#include "led/LedColour.h"
#include "led/LedControllerFactory.h"
#include "led/LedProbe.h"
#include "led/LedReset.h"
#include "led/LightingReset.h"
#include "ui/controls/CMPButton.h"
#include "ui/main/SaveFailureText.h"

namespace pyx {


void LedPageCommands::SetTrackbars(int r, int g, int b) {
    window_.ColourTrackbar(0)->setValue(r);
    window_.ColourTrackbar(1)->setValue(g);
    window_.ColourTrackbar(2)->setValue(b);
}

void LedPageCommands::OnPalette() {
    const QColor picked = window_.Button(kIdPicker)->PickedColor();
    if (picked.isValid()) SetTrackbars(picked.red(), picked.green(), picked.blue());
    window_.InvalidateRect(kColourPreviewRect);
    window_.LedPage().colourPreset = 0;
    SelectInGroup(kIdSwatch1, kSwatchCount, -1);
}

void LedPageCommands::OnSwatch(int k) {
    window_.LedPage().colourPreset = k + 1;
    // The fields and the preview show the colour Apply will send.
    if (const auto colour = PresetColour(k + 1)) SetTrackbars(colour->r, colour->g, colour->b);
    window_.InvalidateRect(kColourPreviewRect);
    SelectInGroup(kIdSwatch1, kSwatchCount, k);
}

void LedPageCommands::OnColourSliderMoved() {
    // The user mixes a colour of their own: a swatch chosen before no longer is the colour.
    if (window_.LedPage().colourPreset == 0) return;
    window_.LedPage().colourPreset = 0;
    SelectInGroup(kIdSwatch1, kSwatchCount, -1);
}

QColor LedPageCommands::ShownColour() const {
    return QColor(window_.ColourTrackbar(0)->value(), window_.ColourTrackbar(1)->value(),
                  window_.ColourTrackbar(2)->value());
}

void LedPageCommands::OnBasicEffect(int k) {
    window_.LedPage().ledMode = kBasicModes[static_cast<size_t>(k)];
    SelectInGroup(kIdBasicStatic, kBasicEffectCount, k);
}

void LedPageCommands::OnZoneMode(int k) {
    window_.LedPage().gm1Mode = static_cast<uint32_t>(k + 1);
    window_.Engine().SyncArgs().zoneMode.store(k + 1);
    SelectInGroup(kIdZoneMode1, kZoneModeCount, k);
}

void LedPageCommands::OnEffectMode(int k) {
    window_.LedPage().gm2Mode = static_cast<uint32_t>(k + 1);
    window_.Engine().SyncArgs().effectMode.store(k + 1);
    SelectInGroup(kIdEffectMode1, kEffectModeCount, k);
}

void LedPageCommands::OnTarget(int k) {
    const int gpu = window_.Page().selectedGpu;
    if (gpu >= 0 && gpu < kMaxGpus) window_.LedPage().boards[static_cast<size_t>(gpu)].ledTarget = kTargetValues[static_cast<size_t>(k)];
    SelectInGroup(kIdTarget1, kTargetCount, k);
    ShowPanel(k);
}

void LedPageCommands::ShowPanel(int k) {
    const bool basic = k == 0;
    const bool zone = k >= 1 && k <= 3;
    const bool effect = k >= 4;
    window_.ApplySkin(basic ? kSkinNormal : zone ? kSkinZone : kSkinEffect);
    for (int i = 0; i < kZoneModeCount; ++i) window_.Control(kIdZoneMode1 + i)->setVisible(zone);
    for (int i = 0; i < kEffectModeCount; ++i) window_.Control(kIdEffectMode1 + i)->setVisible(effect);
    for (int i = 0; i < 3; ++i) window_.TimerCombo(i)->setVisible(basic);
    for (int i = 0; i < kBasicEffectCount; ++i) window_.Control(kIdBasicStatic + i)->setVisible(basic);
}

void LedPageCommands::EnableLedPage(bool on) {
    for (int id = kIdBasicStatic; id < kIdEffectMode1 + kEffectModeCount; ++id)
        if (id != kIdOverlay) window_.Control(id)->setEnabled(on);
    for (int i = 0; i < 3; ++i) {
        window_.TimerCombo(i)->setEnabled(on);
        window_.ColourTrackbar(i)->setEnabled(on);
    }
    const int gpu = window_.Page().selectedGpu;
    const LedBoardState* board = gpu >= 0 && gpu < kMaxGpus ? &window_.LedPage().boards[static_cast<size_t>(gpu)] : nullptr;
    for (int k = 0; k < kTargetCount; ++k)
        window_.Control(kIdTarget1 + k)->setEnabled(on && board != nullptr && board->TargetAvailable(kTargetValues[static_cast<size_t>(k)]));
    // Disabled, the page would still look live: it is covered and says why.
    window_.Controls().ShowNoLightingNotice(!on);
}

std::string LedPageCommands::ResetLighting() {
    const std::string refused = ResetLeds();
    const int gpu = window_.Page().selectedGpu;
    if (gpu >= 0 && gpu < kMaxGpus && IsBasicKind(window_.LedPage().boards[static_cast<size_t>(gpu)].ledKind))
        BasicLedReset();
    return refused;
}

void LedPageCommands::CaptureLedPageControls() {
    LedPageState& page = window_.LedPage();
    for (int k = 0; k < 3; ++k) {
        page.sliders[static_cast<size_t>(k)] = window_.ColourTrackbar(k)->value();
        page.timerIndex[static_cast<size_t>(k)] = window_.TimerCombo(k)->currentIndex();
    }
    page.tuningMode = window_.Page().tuningMode;
}

void LedPageCommands::ApplyLighting(bool applyButton, bool restoringLed) {
    AppCore& core = window_.Core();
    AppState& state = core.State();
    CaptureLedPageControls();
    if (applyButton) {
        int gpuMode = state.gpuMode;
        CaptureLedSettings(window_.LedPage(), window_.Engine(), state.ledSettings, gpuMode);
        state.gpuMode = static_cast<uint8_t>(gpuMode);
    }
    if (ServiceClient* service = core.Service()) {
        // The service lights the cards and keeps what it lit; only the user's own choice goes
        // there, never a put-back of this window's file.
        if (applyButton) LightThroughService(*service);
        return;
    }
    LedApplyOptions options;
    options.applyButton = applyButton;
    options.restoringLed = restoringLed;
    options.ledControllerKind = state.ledControllerKind;
    // Saved once for each GPU lit; a file that cannot be written is said once. Without a
    // settings folder nothing is saved; the start said why.
    std::optional<QString> failed;
    options.saveLedSettings = [&core, &failed] {
        const std::optional<std::filesystem::path> file = core.settings.LedFile();
        std::error_code why;
        if (file && SaveTuningSettings(core.Boards(), core.State(), *file, &why) != 1)
            failed = SaveFailureText(*file, why);
    };
    ApplyLedSettings(window_.LedPage(), window_.Engine(), state.ledSettings, options);
    if (failed) window_.SayFailedSave(*failed);
}

void LedPageCommands::LightThroughService(ServiceClient& service) {
    // Every GPU with controllers, each on its own target, as Apply's lighting half lights them.
    std::vector<std::optional<LedTarget>> targets;
    for (int gpu = 0; gpu < window_.Boards().gpuCount && gpu < kMaxGpus; ++gpu) {
        const LedBoardState& board = window_.LedPage().boards[static_cast<size_t>(gpu)];
        targets.push_back(board.TargetAvailable(board.ledTarget) ? std::optional<LedTarget>(board.ledTarget) : std::nullopt);
    }
    // The capture took the colour, timers and basic mode; the page's zone and effect modes are
    // taken by the Apply that drives their controller, as it does in-process.
    LedSettings chosen = window_.Core().State().ledSettings;
    chosen.gm1Mode = static_cast<uint8_t>(window_.LedPage().gm1Mode);
    chosen.gm2Mode = static_cast<uint8_t>(window_.LedPage().gm2Mode);
    const std::string refused = ServiceChanges(service).Light(chosen, targets);
    if (!refused.empty()) window_.SayFailedSave(QString::fromStdString(refused));
}

void LedPageCommands::ShowLoadedLighting(const LoadedLighting& loaded) {
    // What a click on each button would do, without the round trip through the dispatcher.
    if (loaded.basicEffectButton >= 0) OnBasicEffect(loaded.basicEffectButton);
    if (loaded.setColour) window_.ColourTrackbar(0)->setValue(loaded.red);
    window_.ColourTrackbar(1)->setValue(loaded.green);
    window_.ColourTrackbar(2)->setValue(loaded.blue);
    for (int k = 0; k < 3; ++k) window_.TimerCombo(k)->setCurrentIndex(loaded.timerIndex[k]);
    if (loaded.startBasicEffect) {
        CaptureLedPageControls();
        StartBasicEffect(window_.LedPage(), window_.Engine(), window_.Core().State().ledSettings,
                         window_.Core().State().ledControllerKind);
    } else {
        window_.ColourTrackbar(0)->setValue(loaded.red);
    }
    if (loaded.gm1Mode >= 1) OnZoneMode(static_cast<int>(loaded.gm1Mode) - 1);
    if (loaded.gm2Mode >= 1) OnEffectMode(static_cast<int>(loaded.gm2Mode) - 1);
}

void LedPageCommands::ShowCardLighting() {
    GpuBoardTable& table = window_.Boards();
    if (!table.IsValidGpu(0)) return;
    const LedKind kind = ProbedKind(0);
    const std::unique_ptr<LedController> found = MakeFoundController(table, 0, kind);
    if (!found) return;
    if (const auto mode = found->ReadMode()) {
        if (kind == LedKind::Zone58 && *mode >= 1 && *mode <= static_cast<uint32_t>(kZoneModeCount))
            window_.SendClick(kIdZoneMode1 + static_cast<int>(*mode) - 1);
        else if (kind == LedKind::EffectAC && *mode >= 1 && *mode <= static_cast<uint32_t>(kEffectModeCount))
            window_.SendClick(kIdEffectMode1 + static_cast<int>(*mode) - 1);
    }
    if (const auto colour = found->ReadColour()) SetTrackbars(colour->r, colour->g, colour->b);
}

LedKind LedPageCommands::ProbedKind(int gpu) const {
    return gpu >= 0 && gpu < kMaxGpus ? probedKinds_[static_cast<size_t>(gpu)] : LedKind::None;
}

void LedPageCommands::RecordStartupKinds() {
    for (int gpu = 0; gpu < window_.Boards().gpuCount && gpu < kMaxGpus; ++gpu) {
        probedKinds_[static_cast<size_t>(gpu)] = FirstSuccessKind(window_.LedPage().boards[static_cast<size_t>(gpu)]);
    }
}

void LedPageCommands::OnGpuSelected(int gpu) {
    // Where the service owns the bus, its start-up probe stands for the probe of a selection.
    const LedKind kind = window_.Core().Service() != nullptr
                             ? FirstSuccessKind(window_.LedPage().boards[static_cast<size_t>(gpu)])
                             : ProbeLedKind(window_.Boards(), gpu);
    probedKinds_[static_cast<size_t>(gpu)] = kind;
    window_.LedPage().boards[static_cast<size_t>(gpu)].ledKind = kind;
    window_.Engine().SetLedKind(gpu, kind);
    window_.ApplySkin(SkinForLedKind(kind));
    EnableLedPage(kind != LedKind::None);
    // The button whose ledTarget suits the controller found.
    int target = -1;
    switch (kind) {
        case LedKind::EffectAC: target = 4; break;   // ledTarget 3
        case LedKind::Zone46: target = 2; break;     // ledTarget 5
        case LedKind::Zone58: target = 1; break;     // ledTarget 2
        case LedKind::BasicClass1:
        case LedKind::BasicClass2: target = 0; break;
        default: break;
    }
    if (target >= 0) window_.PostClick(kIdTarget1 + target);
}

std::string LedPageCommands::ResetLeds() {
    const LightingReset::Outcome outcome = LightingReset::Controllers(
        window_.Engine(), window_.LedPage(), probedKinds_, window_.Core().State().ledSettings, [this](bool zone) {
            window_.SendClick(zone ? kIdZoneMode1 + static_cast<int>(kZoneResetMode) - 1
                                   : kIdEffectMode1 + static_cast<int>(kEffectResetMode) - 1);
        });
    if (outcome.zoneReset) {
        // The page shows the red the zones were given.
        SetTrackbars(255, 0, 0);
        window_.InvalidateRect(kColourPreviewRect);
    }
    return outcome.refusals;
}

void LedPageCommands::BasicLedReset() {
    AppState& state = window_.Core().State();
    LightingReset::Basic(window_.Engine(), window_.Page().selectedGpu, state.ledSettings);
    SelectInGroup(kIdBasicStatic, kBasicEffectCount, 0);
    window_.LedPage().ledMode = 0;
    state.gpuMode = static_cast<uint8_t>(window_.Page().tuningMode);
    SetTrackbars(255, 255, 255);
    for (int k = 0; k < 3; ++k) window_.TimerCombo(k)->setCurrentIndex(0);
    window_.InvalidateRect(kColourPreviewRect);
}

}  // namespace pyx
