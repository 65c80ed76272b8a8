#include "ui/main/MainWindowLayout.h"

#include <QtGlobal>

namespace pyx {

namespace {

ControlSpec Button(int normal, int second, int x, int y, int font = 0, int third = 0) {
    return {ControlKind::Button, normal, second, third, QRect(x, y, 0, 0), font};
}
ControlSpec Slider(int x, int y) { return {ControlKind::Slider, 0, 0, 0, QRect(x, y, 57, 151), 0}; }
ControlSpec Label(int x, int y, int w, int h, int font) { return {ControlKind::Label, 0, 0, 0, QRect(x, y, w, h), font}; }

std::array<ControlSpec, kControlCount> BuildTable() {
    std::array<ControlSpec, kControlCount> t{};
    auto at = [&t](int id) -> ControlSpec& { return t[static_cast<size_t>(id - kFirstControlId)]; };
    at(100) = Button(192, 192, 585, 19);
    at(101) = Button(135, 136, 663, 19);
    at(102) = Button(133, 134, 701, 19);
    at(103) = Button(191, 192, 624, 19, 7);
    const int modeImages[4][2] = {{141, 149}, {143, 150}, {142, 148}, {151, 152}};
    const int modeX[4] = {36, 208, 380, 552};
    for (int k = 0; k < 4; ++k) at(104 + k) = Button(modeImages[k][0], modeImages[k][1], modeX[k], 572);
    at(108) = Button(198, 199, 17, 288);
    at(109) = Button(196, 197, 17, 342, 0, 195);
    for (int k = 0; k < kGpuButtonCount; ++k) at(110 + k) = Button(173, 173, 50 + 10 * k, 10);
    at(115) = Button(156, 155, 293, 773);
    at(116) = Button(154, 153, 395, 773);
    const int sliderX[4] = {63, 150, 237, 324};
    for (int k = 0; k < 4; ++k) at(117 + k) = Slider(sliderX[k], 380);
    const int basicY[5] = {359, 383, 430, 476, 524};
    for (int k = 0; k < 5; ++k) at(121 + k) = Button(173, 174, 579, basicY[k]);
    at(126) = Button(193, 194, 517, 302);
    at(127) = Button(172, 172, 428, 332);
    at(128) = Button(171, 171, 40, 264);
    for (int k = 0; k < kSwatchCount; ++k) at(129 + k) = Button(175 + 2 * k, 176 + 2 * k, 451 + 15 * k, 527);
    for (int k = 0; k < kZoneModeCount; ++k) at(137 + k) = Button(173, 174, 580, 361 + 27 * k, 7);
    for (int k = 0; k < 7; ++k) at(142 + k) = Button(173, 174, 580, 361 + 27 * k, 7);
    for (int k = 0; k < 4; ++k) at(149 + k) = Button(173, 174, 645, 361 + 27 * k, 7);
    at(153) = Label(0, 0, 5, 5, 7);
    at(154) = Label(83, 134, 175, 66, 7);
    for (int k = 0; k < 3; ++k) at(155 + k) = Label(584, 87 + 60 * k, 105, 40, 8);
    at(158) = Slider(63, 380);
    at(159) = Slider(150, 380);
    const int targetImages[6] = {207, 209, 211, 213, 211, 213};
    const int targetX[6] = {596, 624, 652, 680, 652, 680};
    for (int k = 0; k < kTargetCount; ++k)
        at(160 + k) = Button(targetImages[k], targetImages[k] + 1, targetX[k], 303, 7);
    return t;
}

QRect Edges(int left, int top, int right, int bottom) { return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)); }

}  // namespace

const std::array<ControlSpec, kControlCount>& MainControlTable() {
    static const std::array<ControlSpec, kControlCount> table = BuildTable();
    return table;
}

const std::array<ToolTipSpec, 9>& MainToolTips() {
    static const std::array<ToolTipSpec, 9> tips = {{
        {101, QT_TRANSLATE_NOOP("MainToolTips", "Minimization the Window")},
        {102, QT_TRANSLATE_NOOP("MainToolTips", "Close the Window")},
        {104, QT_TRANSLATE_NOOP("MainToolTips", "Extreme Mode\r\n     -Core OC (Margin we tested and kept for all cards)\r\n")},
        {105, QT_TRANSLATE_NOOP("MainToolTips", "Performance mode\r\n     -Core OC 3%\r\n")},
        {106, QT_TRANSLATE_NOOP("MainToolTips", "Common mode\r\n     -Core/Power target at card Default")},
        {107, QT_TRANSLATE_NOOP("MainToolTips", "Custom Mode\r\n     -Core/Profile at users settings")},
        {103, QT_TRANSLATE_NOOP("MainToolTips", "Used to save current settings or load saved settings.")},
        {116, QT_TRANSLATE_NOOP("MainToolTips", "Apply all settings to the graphics card.\nSettings are only effective when the apply button is pressed.")},
        {115, QT_TRANSLATE_NOOP("MainToolTips", "Restore all settings to system default.")},
    }};
    return tips;
}

const std::array<ValueLabelSpec, 10>& MainValueLabels() {
    static const std::array<ValueLabelSpec, 10> labels = {{
        {kLabelNone, "", Edges(0, 0, 0, 0), false, 0, 0},
        {kLabelGpuClock, "%4d", Edges(55, 342, 115, 390), false, 0, 13},
        {kLabelMemClock, "%4d", Edges(140, 342, 200, 390), false, 0, 13},
        {kLabelPower, "%3d", Edges(210, 342, 280, 390), false, 0, 13},
        {kLabelFan, "%4d", Edges(314, 342, 365, 390), false, 0, 13},
        {kLabelGpuVf, "%4d", Edges(55, 342, 115, 390), false, 0, 13},
        {kLabelMemVf, "%4d", Edges(140, 342, 200, 390), false, 0, 13},
        {kLabelRed, "%3d", Edges(514, 412, 561, 433), true, 9, 15},
        {kLabelGreen, "%3d", Edges(514, 450, 561, 471), true, 9, 15},
        {kLabelBlue, "%3d", Edges(514, 488, 561, 509), true, 9, 15},
    }};
    return labels;
}

int SkinForLedKind(LedKind ledKind) {
    switch (ledKind) {
        case LedKind::EffectAC: return kSkinEffect;
        case LedKind::Zone58:
        case LedKind::Zone46: return kSkinZone;
        default: return kSkinNormal;
    }
}

}  // namespace pyx
