#include "ui/main/MainWindowDialogs.h"

#include <QCoreApplication>

#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include "app/MonitorReadouts.h"
#include "app/PrivateTempFolder.h"
#include "app/ProfileLoadCheck.h"
#include "app/TuningController.h"
#include "gpu/CardTuning.h"
#include "ui/dialogs/CFanCurveDlg.h"
#include "ui/dialogs/CProfileDlg.h"
#include "ui/dialogs/CSetDialog.h"
#include "app/ServiceChanges.h"
#include "ui/main/SaveFailureText.h"

namespace pyx {

void MainWindowDialogs::RunProfileDialog() {
    AppCore& core = context_.core;
    ProfileDlgContext context{core.Boards(), core.State(), core.programFolder,
                              [this] { refresh_(); }, PickProfileFileWithQt,
                              [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); },
                              core.settings.ProfileFolder(),
                              [](const std::filesystem::path& file, const std::error_code& why) {
                                  return SaveFailureText(file, why);
                              },
                              [this](const std::string& text) {
                                  context_.prompts.ShowError(&window_, QString::fromStdString(text),
                                                             QStringLiteral("Pyxtune"));
                              }};
    // A load is an apply like any other: checked against each card's range before anything is
    // sent, and an overclock asks the warning first.
    context.mayLoad = [&](const std::filesystem::path& file) {
        const ProfileLoadCheck check(file, core.Boards());
        if (!check.OutOfRange().empty()) {
            std::string text =
                QCoreApplication::translate("MainWindow", "The profile was not loaded: these values are outside the cards' ranges.")
                    .toStdString() +
                "\n";
            for (const std::string& line : check.OutOfRange()) text += "\n" + line;
            context_.prompts.ShowError(&window_, QString::fromStdString(text), QStringLiteral("Pyxtune"));
            return false;
        }
        if (!check.Overclocks()) return true;
        // The dialog holds profileDialogOpen set meanwhile, as every prompt of an Apply does.
        return context_.prompts.AskOkCancel(&window_, QString::fromUtf8(kOverclockWarningText),
                                            QString::fromUtf8(kOverclockWarningCaption));
    };
    // A profile may reach every card: all are taken before it, for the way back.
    TuningRevert before;
    uint8_t modeBefore = 0;
    if (keep_) {
        context.beforeLoad = [&] {
            std::vector<int> gpus;
            for (int gpu = 0; gpu < core.Boards().gpuCount; ++gpu) gpus.push_back(gpu);
            before = TuningRevert::Capture(core.Boards(), gpus, &core.State());
            modeBefore = core.State().gpuMode;
        };
        context.keepLoaded = [&](const TuningReport& report) {
            // Not asked, a clean load says nothing, as it always did.
            const std::string clean = core.options.askBeforeKeeping
                                          ? QCoreApplication::translate("MainWindow", "The profile was loaded.").toStdString()
                                          : "";
            keep_(before, modeBefore, report.AnyRefused() ? DescribeRefusals(report) : clean);
        };
    }
    if (ServiceClient* service = core.Service()) {
        context.loadElsewhere = loadElsewhere_;
        context.saveElsewhere = [service](const std::filesystem::path& file) {
            return ServiceChanges(*service).SaveProfile(file).why;
        };
    }
    CProfileDlg dialog(std::move(context), &window_);
    dialog.RunModal(flags_.profileDialogOpen);
}

void MainWindowDialogs::RunSettingsDialog() {
    const MainWindowContext& c = context_;
    if (c.services == nullptr || c.launcher == nullptr || c.runList == nullptr) return;
    AppCore& core = c.core;
    // Without a settings folder the scripts are looked for where nothing can be, so no script
    // another user left is ever run; the choices hold for this run only.
    const std::filesystem::path scriptFolder =
        core.settings.Folder().value_or(PrivateTempFolder::Nowhere(c.programFile));
    LedServicesContext services{*c.services, *c.launcher, nullptr, scriptFolder, core.ledServiceInstalled,
                                ServicePollTiming::System()};
    if (ServiceClient* service = core.Service())
        services.keepLighting = [service](bool keep) { return ServiceChanges(*service).KeepLighting(keep); };
    CSetDialog dialog(SetDialogContext{*c.runList, c.programFile, startMode_, std::move(services), core.options,
                                       [&core] { return core.SaveOptions(); },
                                       core.settings.chosen / kProgramOptionsFileName},
                      &window_);
    dialog.RunModal(flags_.settingsDialogOpen);
}

bool MainWindowDialogs::RunFanCurveDialog(TuningPage& page) {
    AppCore& core = context_.core;
    GpuBoardTable& boards = core.Boards();
    const int gpu = page.selectedGpu;
    if (!boards.IsValidGpu(gpu) || gpu >= kMaxGpus) return false;
    const CardTuning card(boards, gpu);
    FanCurveDlgContext context;
    // The unit the fan's fixed levels are sent in: percent on the fan-cooler interface.
    context.unit = card.FixedFanUnit();
    context.levels = card.FixedFanLevels();
    const std::optional<FanCurve>& running = core.State().fanCurves[static_cast<size_t>(gpu)];
    context.curve = page.fanCurve ? *page.fanCurve : running ? *running : FanCurve::Default(context.unit, context.levels);
    const FanUnit unit = context.unit;
    context.readNow = [&core, gpu, unit] {
        if (const std::optional<FanCurveLive> live = core.CurveLive(gpu))
            return FanCurveNow{live->temperatureC, live->level, live->automatic};
        // No curve runs: what the readouts show, the fan's level only where it is read in the
        // curve's unit.
        const MonitorReadings r = core.Readings(gpu);
        FanCurveNow now;
        if (r.read && r.temperatureC != 0) now.temperatureC = r.temperatureC;
        if (r.hasFan && r.fanUnit == unit) now.level = r.fanValue;
        return now;
    };
    context.refuse = [this](QWidget* owner, const QString& text) {
        context_.prompts.ShowWarning(owner, text, owner->windowTitle());
    };
    CFanCurveDlg dialog(std::move(context), &window_);
    // Held set like the profile dialog's: the timer leaves the skin alone meanwhile.
    bool& open = flags_.profileDialogOpen;
    open = true;
    const int answer = dialog.exec();
    open = false;
    if (answer != QDialog::Accepted) return false;
    page.fanCurve = dialog.Curve();
    return true;
}

}  // namespace pyx
