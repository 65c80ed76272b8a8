#pragma once
#include <array>

#include <QRect>
#include <QString>

#include "led/LedBoardState.h"

namespace pyx {

// Control ids of the main window: row i of the control table is id 100 + i.
enum MainControlId : int {
    kIdSettings = 100,
    kIdMinimise = 101,
    kIdHide = 102,
    kIdProfile = 103,
    kIdExtreme = 104,
    kIdPerformance = 105,
    kIdCommon = 106,
    kIdCustom = 107,
    kIdNextGpu = 108,
    kIdLink = 109,
    kIdGpu0 = 110,  // .. 114
    kIdReset = 115,
    kIdApply = 116,
    kIdGpuClockSlider = 117,
    kIdMemClockSlider = 118,
    kIdPowerSlider = 119,
    kIdFanSlider = 120,
    kIdBasicStatic = 121,  // .. 125: static, breathing, cycle breathing, flash, lights off
    kIdGpuLoadTab = 126,
    kIdPicker = 127,
    kIdOverlay = 128,
    kIdSwatch1 = 129,  // .. 136
    kIdZoneMode1 = 137,  // .. 141
    kIdEffectMode1 = 142,  // .. 152
    kIdHiddenLabel = 153,
    kIdGpuClockLabel = 154,
    kIdMemClockLabel = 155,
    kIdTemperatureLabel = 156,
    kIdFanLabel = 157,
    kIdGpuVfSlider = 158,
    kIdMemVfSlider = 159,
    kIdTarget1 = 160,  // .. 165
    kIdPlainChild = 333,
    kIdTimer1Combo = 1017,  // .. 1019
    kIdRedTrackbar = 1020,  // .. 1022
    kIdFanCurve = 1023,     // the fan curve editor's button, no row of the control table
};

inline constexpr int kFirstControlId = 100;
inline constexpr int kControlCount = 66;
inline constexpr int kGpuButtonCount = 5;
inline constexpr int kSwatchCount = 8;
inline constexpr int kZoneModeCount = 5;
inline constexpr int kEffectModeCount = 11;
inline constexpr int kBasicEffectCount = 6;  // 121..126
inline constexpr int kTargetCount = 6;

enum class ControlKind { Button, Label, Slider };

// One row of the control table: what the control is, its images and where it sits. A
// button takes its size from its normal image.
struct ControlSpec {
    ControlKind kind = ControlKind::Button;
    int normalId = 0;
    int secondId = 0;
    int thirdId = 0;
    QRect rect;
    int fontIndex = 0;
};

const std::array<ControlSpec, kControlCount>& MainControlTable();
inline const ControlSpec& MainControl(int id) { return MainControlTable()[static_cast<size_t>(id - kFirstControlId)]; }

// The selected image pair of a radio-like button: its second image.
inline int SelectedImage(int id) { return MainControl(id).secondId; }

struct ToolTipSpec {
    int controlId;
    const char* text;
};
const std::array<ToolTipSpec, 9>& MainToolTips();

// The numbers drawn over the skin, digit by digit in fixed cells.
enum ValueLabelFlag : int {
    kLabelNone = 1,
    kLabelGpuClock = 2,
    kLabelMemClock = 4,
    kLabelPower = 8,
    kLabelFan = 16,
    kLabelGpuVf = 64,
    kLabelMemVf = 128,
    kLabelRed = 129,
    kLabelGreen = 130,
    kLabelBlue = 131,
};

struct ValueLabelSpec {
    int flag;
    const char* format;  // printf format of the value; empty: nothing shown
    QRect rect;          // left, top, right, bottom as the rectangle's edges
    bool centred;        // centred both ways, else right-aligned at the top
    int fontIndex;
    int stepPx;
};
const std::array<ValueLabelSpec, 10>& MainValueLabels();

// Rectangles the window repaints after a change.
inline const QRect kSliderValuesRect = QRect(QPoint(55, 342), QPoint(364, 389));
inline const QRect kColourPreviewRect = QRect(QPoint(514, 408), QPoint(560, 508));
// Custom's fan curve button: in the tuning panel's title row, above the fan slider. Its
// pictures, dimmed and lit; lit while a curve drives the fan.
inline const QRect kFanCurveButtonRect = QRect(326, 279, 64, 20);
inline constexpr int kFanCurveImage = 215;
inline constexpr int kFanCurveLitImage = 216;
inline const QRect kLinkAreaRect = QRect(QPoint(442, 343), QPoint(489, 369));

// Skins by the selected GPU's lighting controller kind.
inline constexpr int kSkinNormal = 130;
inline constexpr int kSkinZone = 204;
inline constexpr int kSkinEffect = 205;
int SkinForLedKind(LedKind ledKind);

}  // namespace pyx
