#pragma once
#include <QString>

class QPainter;

namespace pyx {

class GpuBoardTable;
struct TuningPage;
class MainWindowControls;

// The six tuning sliders and the numbers drawn over the face. The sliders follow the tuning
// page; a slider the user moves moves the page; each value label shows what its slider holds
// (the colour labels what their trackbars hold).
class MainWindowSliders {
public:
    MainWindowSliders(MainWindowControls& controls, TuningPage& page, const GpuBoardTable& boards)
        : controls_(controls), page_(page), boards_(boards) {}

    // Ranges, values and enabled state from the page; redrawn.
    void PageToSliders();
    // Each slider's value back into its range, and redrawn where one had to move.
    void ReclampSliders();
    // A slider moved (or is moving) to position. The fan slider moved takes the fan back from
    // a curve: its level is the fan's again.
    void OnSliderMoved(int controlId, int position);
    // Whether a curve drives Custom's fan, on the curve button and the fan's value label.
    void ShowFanCurve();

    // The text a value label shows now; empty when its condition fails.
    QString ValueLabelText(int flag) const;
    // For each value label whose flag shares a bit with mask: repaint its cells, or draw it.
    void DrawValueLabels(int mask, bool invalidateOnly, QPainter* painter);

private:
    MainWindowControls& controls_;
    TuningPage& page_;
    const GpuBoardTable& boards_;
};

}  // namespace pyx
