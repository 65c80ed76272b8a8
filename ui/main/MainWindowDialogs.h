#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "app/TuningRevert.h"

#include "app/StartMode.h"
#include "app/TuningPage.h"
#include "ui/main/MainWindowContext.h"
#include "ui/main/MainWindowFlags.h"

class QWidget;

namespace pyx {

// The modal dialogs the window's pills and Custom's curve button open, with the window's flags held set while they
// run so that the timer leaves the skin alone.
class MainWindowDialogs {
public:
    // Asks whether to keep a change (before: the cards' tuning before it; the mode before it;
    // what the change said) and takes it back when not kept.
    using KeepOrRevert = std::function<void(const TuningRevert& before, uint8_t modeBefore, const std::string& result)>;

    // window: the dialogs' parent; refresh: what a loaded profile does to the window; keep: how
    // a loaded profile is kept or taken back.
    // loadElsewhere: where the service owns the cards, how a chosen profile goes there.
    MainWindowDialogs(QWidget& window, const MainWindowContext& context, MainWindowFlags& flags,
                      std::function<void()> refresh, KeepOrRevert keep,
                      std::function<void(const std::filesystem::path&)> loadElsewhere)
        : window_(window), context_(context), flags_(flags), refresh_(std::move(refresh)), keep_(std::move(keep)),
          loadElsewhere_(std::move(loadElsewhere)) {}

    // The profile dialog; a loaded profile refreshes the window.
    void RunProfileDialog();
    // The settings dialog (start at log-on, the LED service). Needs the system seams.
    void RunSettingsDialog();
    // The fan curve editor for the GPU the page shows: from the page's curve, else the one its
    // fan runs, else the default for its fan. True when a curve was taken onto the page.
    bool RunFanCurveDialog(TuningPage& page);

private:
    QWidget& window_;
    const MainWindowContext& context_;
    MainWindowFlags& flags_;
    std::function<void()> refresh_;
    KeepOrRevert keep_;
    std::function<void(const std::filesystem::path&)> loadElsewhere_;
    // The start mode as the settings dialog last read or chose it.
    StartMode startMode_ = StartMode::Unset;
};

}  // namespace pyx
