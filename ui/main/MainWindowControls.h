#pragma once
#include <array>
#include <optional>
#include <string>

#include <QFont>
#include <QRect>

#include "ui/main/MainWindowLayout.h"

class CBitmapSlider;
class CMPButton;
class CMPStatic;
class CMPToolTip2;
class QComboBox;
class QLabel;
class QSlider;
class QWidget;

namespace pyx {

class AppFonts;

// The main window's controls: the 66 of the control table at their places, the three timer
// boxes and colour trackbars, the plain child and the tooltip. Made once; the window owns
// them as their Qt parent. Found by control id.
class MainWindowControls {
public:
    MainWindowControls(QWidget& window, const AppFonts* fonts) : window_(window), fonts_(fonts) {}

    // Every control at its place, with its images and font.
    void Create();
    bool Created() const { return controls_[0] != nullptr; }

    QWidget* Control(int id) const;
    CMPButton* Button(int id) const;
    CBitmapSlider* Slider(int id) const;
    CMPStatic* Label(int id) const;
    QComboBox* TimerCombo(int k) const { return combos_[static_cast<size_t>(k)]; }
    QSlider* ColourTrackbar(int k) const { return trackbars_[static_cast<size_t>(k)]; }
    CMPToolTip2* ToolTip() const { return toolTip_; }
    QWidget* PlainChild() const { return plainChild_; }

    // Which card is shown, in the GPU clock panel's title row: "GPU 2 of 2: <name>", without
    // the name where the library does not tell it.
    void ShowGpuCaption(int gpu, int gpuCount, const std::optional<std::string>& cardName);
    // The line that covers the lighting page of a card without a lighting controller.
    void ShowNoLightingNotice(bool shown);

    // Exactly one button of the group [firstId, firstId + count) looks chosen; -1: none.
    void SelectInGroup(int firstId, int count, int chosen);
    // Repaints part of the window's face (what lies under a value or the colour preview).
    void Repaint(const QRect& rect);
    // One of the program's fonts, or the window's own where it was not made.
    QFont FontOr(int index) const;

private:
    void BuildColourControls();
    void BuildCaptions();
    void BuildFanCurveButton();

    QWidget& window_;
    const AppFonts* fonts_;
    std::array<QWidget*, kControlCount> controls_{};
    std::array<QComboBox*, 3> combos_{};
    std::array<QSlider*, 3> trackbars_{};
    QWidget* plainChild_ = nullptr;
    CMPButton* fanCurve_ = nullptr;
    QLabel* gpuCaption_ = nullptr;
    QLabel* noLightingNotice_ = nullptr;
    CMPToolTip2* toolTip_ = nullptr;
};

}  // namespace pyx
