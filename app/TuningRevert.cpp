#include "app/TuningRevert.h"

#include <algorithm>

namespace pyx {

TuningRevert TuningRevert::Capture(GpuBoardTable& table, const std::vector<int>& gpus, AppState* state) {
    TuningRevert revert;
    revert.table_ = &table;
    revert.state_ = state;
    for (const int gpu : gpus) {
        // A GPU listed twice would otherwise be captured twice and written back twice.
        if (!table.IsValidGpu(gpu) || revert.StateOf(gpu) != nullptr) continue;
        revert.cards_.emplace_back(gpu, CaptureTuning(table, gpu));
        if (state != nullptr && gpu < kMaxGpus) revert.curves_.push_back(state->fanCurves[static_cast<size_t>(gpu)]);
    }
    return revert;
}

std::vector<int> TuningRevert::ApplyTargets(const GpuBoardTable& table, const TuningPage& page) {
    std::vector<int> gpus;
    if (page.linkAllGpus || page.selectedGpu == -1) {
        for (int gpu = 0; gpu < table.gpuCount; ++gpu) gpus.push_back(gpu);
    } else if (table.IsValidGpu(page.selectedGpu)) {
        gpus.push_back(page.selectedGpu);
    }
    return gpus;
}

TuningReport TuningRevert::Revert() const {
    TuningReport report;
    // The curve first: the fans it held are written back below, and its engine goes on from there.
    for (size_t i = 0; i < cards_.size() && state_ != nullptr && i < curves_.size(); ++i)
        state_->fanCurves[static_cast<size_t>(cards_[i].first)] = curves_[i];
    for (const auto& [gpu, state] : cards_) report.Add(gpu, RestoreTuning(*table_, gpu, state));
    return report;
}

std::vector<int> TuningRevert::Gpus() const {
    std::vector<int> gpus;
    for (const auto& card : cards_) gpus.push_back(card.first);
    return gpus;
}

const CardTuningState* TuningRevert::StateOf(int gpu) const {
    const auto found = std::find_if(cards_.begin(), cards_.end(), [gpu](const auto& card) { return card.first == gpu; });
    return found == cards_.end() ? nullptr : &found->second;
}

}  // namespace pyx
