#pragma once
#include <functional>
#include <utility>

#include <QString>

#include "app/AppCore.h"
#include "app/TuningPage.h"
#include "led/LedEffectEngine.h"
#include "led/LedPageState.h"
#include "ui/main/MainWindowClicks.h"
#include "ui/main/MainWindowControls.h"
#include "ui/main/MainWindowSkin.h"

namespace pyx {

// The main window as its lighting page sees it: the lighting and tuning pages' state, the
// cards and the effect engine, the colour trackbars, timer boxes and buttons, the skin, and
// the clicks it makes on its own buttons.
class LedPageWindow {
public:
    LedPageWindow(AppCore& core, LedEffectEngine& engine, const TuningPage& page, LedPageState& ledPage,
                  MainWindowControls& controls, const MainWindowClicks& clicks, MainWindowSkin& skin,
                  std::function<void(const QString&)> sayFailedSave = {})
        : core_(core), engine_(engine), page_(page), ledPage_(ledPage), controls_(controls), clicks_(clicks),
          skin_(skin), sayFailedSave_(std::move(sayFailedSave)) {}

    AppCore& Core() const { return core_; }
    GpuBoardTable& Boards() const { return core_.Boards(); }
    LedEffectEngine& Engine() const { return engine_; }
    // The GPU shown and the tuning mode chosen.
    const TuningPage& Page() const { return page_; }
    LedPageState& LedPage() const { return ledPage_; }

    MainWindowControls& Controls() const { return controls_; }
    CMPButton* Button(int id) const { return controls_.Button(id); }
    QWidget* Control(int id) const { return controls_.Control(id); }
    QComboBox* TimerCombo(int k) const { return controls_.TimerCombo(k); }
    QSlider* ColourTrackbar(int k) const { return controls_.ColourTrackbar(k); }
    void InvalidateRect(const QRect& rect) const { controls_.Repaint(rect); }
    void ApplySkin(int bitmapId) const { skin_.Apply(bitmapId); }

    void SendClick(int id) const { clicks_.Send(id); }
    void PostClick(int id) const { clicks_.Post(id); }
    // A settings file that could not be written, said where the user will see it.
    void SayFailedSave(const QString& text) const {
        if (sayFailedSave_) sayFailedSave_(text);
    }

private:
    AppCore& core_;
    LedEffectEngine& engine_;
    const TuningPage& page_;
    LedPageState& ledPage_;
    MainWindowControls& controls_;
    const MainWindowClicks& clicks_;
    MainWindowSkin& skin_;
    std::function<void(const QString&)> sayFailedSave_;
};

}  // namespace pyx
