#include "ui/main/MainWindowDialogs.h"

#include <thread>

#include "ui/dialogs/CProfileDlg.h"
#include "ui/dialogs/CSetDialog.h"
#include "ui/main/CVornDlg.h"
#include "ui/main/MainWindowCommands.h"

namespace pyx {

void MainWindowDialogs::RunProfileDialog() {
    AppCore& core = window_.Core();
    ProfileDlgContext context{core.Boards(), core.State(), core.programFolder,
                              [this] { window_.Commands().RefreshFromSettings(); }, PickProfileFileWithQt,
                              [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); },
                              core.settings.ProfileFolder(),
                              [this](const std::string& text) {
                                  window_.Prompts().ShowError(&window_, QString::fromStdString(text),
                                                              QStringLiteral("Pyxtune"));
                              }};
    CProfileDlg dialog(std::move(context), &window_);
    dialog.RunModal(window_.Flags().profileDialogOpen);
}

void MainWindowDialogs::RunSettingsDialog() {
    const MainWindowContext& c = window_.Context();
    if (c.services == nullptr || c.launcher == nullptr || c.runList == nullptr) return;
    AppCore& core = window_.Core();
    LedServicesContext services{*c.services,          *c.launcher,          nullptr,
                                core.settings.folder, core.programFolder, core.ledServiceInstalled,
                                ServicePollTiming::System()};
    CSetDialog dialog(SetDialogContext{*c.runList, c.programFile, startMode_, std::move(services)}, &window_);
    dialog.RunModal(window_.Flags().settingsDialogOpen);
}

}  // namespace pyx
