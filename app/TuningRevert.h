#pragma once
#include <utility>
#include <vector>

#include "app/AppState.h"
#include "app/TuningPage.h"
#include "app/TuningReport.h"
#include "gpu/CardTuningState.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

// The tuning of the GPUs an apply or a profile load is about to change, taken before it, and
// the way back: the window's countdown and pyxtunectl's prompt take it back when the user
// does not keep the change, or does not answer in time.
class TuningRevert {
public:
    TuningRevert() = default;

    // Captures each GPU of gpus the table holds, once, in the order given; with state, the fan
    // curve each of them follows too, so that the way back restarts the curve it left.
    static TuningRevert Capture(GpuBoardTable& table, const std::vector<int>& gpus, AppState* state = nullptr);
    // The GPUs Apply reaches from this page: every GPU when linked or with none selected,
    // else the selected one.
    static std::vector<int> ApplyTargets(const GpuBoardTable& table, const TuningPage& page);

    // Writes every captured state back, GPU by GPU; every write with the card's answer. A
    // refusal stops nothing. Reverting twice writes the same state twice.
    TuningReport Revert() const;

    bool Empty() const { return cards_.empty(); }
    std::vector<int> Gpus() const;
    // What was captured of one GPU; null for a GPU not captured.
    const CardTuningState* StateOf(int gpu) const;

private:
    GpuBoardTable* table_ = nullptr;
    AppState* state_ = nullptr;
    std::vector<std::pair<int, CardTuningState>> cards_;
    std::vector<std::optional<FanCurve>> curves_;  // one per entry of cards_, with state_
};

}  // namespace pyx
