#include "app/TuningApply.h"

#include "app/TuningRanges.h"

namespace pyx {

const char* CustomFieldName(CustomField field) {
    switch (field) {
        case CustomField::Core: return "core";
        case CustomField::Mem: return "mem";
        case CustomField::Power: return "power";
        case CustomField::Fan: return "fan";
        case CustomField::GpuVf: return "gpuVf";
        case CustomField::MemVf: return "memVf";
    }
    return "?";
}

std::vector<int> TuningApply::Gpus(const GpuBoardTable& boards, const Order& order) {
    if (!order.allGpus) return {order.selectedGpu};
    std::vector<int> gpus;
    for (int gpu = 0; gpu < boards.gpuCount; ++gpu) gpus.push_back(gpu);
    return gpus;
}

std::optional<CustomValueOutOfRange> TuningApply::CheckCustom(GpuBoardTable& boards, const std::vector<int>& gpus,
                                                              const CustomTuningValues& v, std::vector<int>* powerless) {
    for (const int gpu : gpus) {
        TuningPage card;
        ReadSliderRanges(boards, gpu, card);
        const bool fanRange = card.fan.enabled;
        const TuningSlider fanLevels{0, 0, 100, true};
        struct Check {
            CustomField field;
            int64_t value;
            const TuningSlider& slider;
            const char* unit;
            bool applies;
        };
        const Check checks[] = {
            {CustomField::Core, v.coreMHz, card.gpuClock, "MHz", true},
            {CustomField::Mem, v.memMHz, card.memClock, "MHz", true},
            {CustomField::Power, v.powerPercent, card.power, "%", card.power.enabled},
            {CustomField::Fan, v.fan, fanRange ? card.fan : fanLevels, fanRange ? "(fan)" : "%", true},
            {CustomField::GpuVf, v.gpuVfMHz, card.gpuVf, "MHz", card.gpuVf.HasRange()},
            {CustomField::MemVf, v.memVfMHz, card.memVf, "MHz", card.gpuVf.HasRange()},
        };
        for (const Check& c : checks)
            if (c.applies && (c.value < c.slider.min || c.value > c.slider.max))
                return CustomValueOutOfRange{c.field, c.value, gpu, c.slider.min, c.slider.max, c.unit};
        if (!card.power.enabled && powerless != nullptr) powerless->push_back(gpu);
    }
    return std::nullopt;
}

TuningApply::Run TuningApply::Apply(GpuBoardTable& boards, AppState& state, const Order& order,
                                    const std::function<bool(const std::string&)>& confirmWarning) {
    TuningPage page;
    page.selectedGpu = order.selectedGpu;
    page.linkAllGpus = order.allGpus;
    page.tuningMode = order.mode;
    ReadSliderRanges(boards, order.selectedGpu, page);
    if (order.mode == kTuningModeCustom) {
        // The values were checked against every GPU, so nothing is clamped here.
        page.gpuClock.pos = static_cast<int32_t>(order.custom.coreMHz);
        page.memClock.pos = static_cast<int32_t>(order.custom.memMHz);
        page.power.pos = static_cast<int32_t>(order.custom.powerPercent);
        page.fan.pos = static_cast<int32_t>(order.custom.fan);
        page.gpuVf.pos = static_cast<int32_t>(order.custom.gpuVfMHz);
        page.memVf.pos = static_cast<int32_t>(order.custom.memVfMHz);
    }
    Run run;
    TuningCallbacks callbacks;
    callbacks.confirmWarning = [&](const std::string& text, const std::string&) {
        run.warning = text;
        return confirmWarning(text);
    };
    callbacks.showResult = [&](const std::string& text, const std::string&) { run.result = text; };
    TuningController controller(boards, state, callbacks);
    run.outcome = controller.ApplyMode(page, &run.report);
    return run;
}

std::vector<TuningApply::Holding> TuningApply::Holdings(GpuBoardTable& boards, const std::vector<int>& gpus) {
    std::vector<Holding> holdings;
    for (const int gpu : gpus) {
        TuningPage now;
        ReadSliderRanges(boards, gpu, now);
        holdings.push_back({gpu, now.gpuClock.pos, now.memClock.pos,
                            now.power.enabled ? std::optional<int32_t>(now.power.pos) : std::nullopt,
                            now.gpuVf.HasRange()});
    }
    return holdings;
}

bool TuningApply::Holds(const Holding& h, const CustomTuningValues& v) {
    const int64_t graphics = h.vf ? v.gpuVfMHz : v.coreMHz;
    const int64_t memory = h.vf ? v.memVfMHz : v.memMHz;
    return h.graphicsOffsetMHz == graphics && h.memoryOffsetMHz == memory &&
           (!h.powerPercent || *h.powerPercent == v.powerPercent);
}

nlohmann::json TuningApply::HoldingJson(const Holding& h) {
    return {{"gpu", h.gpu},
            {"graphicsOffsetMHz", h.graphicsOffsetMHz},
            {"memoryOffsetMHz", h.memoryOffsetMHz},
            {"powerPercent", h.powerPercent ? nlohmann::json(*h.powerPercent) : nlohmann::json(nullptr)},
            {"vf", h.vf}};
}

nlohmann::json TuningApply::HoldingsJson(GpuBoardTable& boards, const std::vector<int>& gpus) {
    nlohmann::json holdings = nlohmann::json::array();
    for (const Holding& h : Holdings(boards, gpus)) holdings.push_back(HoldingJson(h));
    return holdings;
}

std::string TuningApply::HoldingLine(const nlohmann::json& h) {
    const nlohmann::json& power = h.at("powerPercent");
    return "GPU " + std::to_string(h.at("gpu").get<int>()) + "  graphics offset " +
           std::to_string(h.at("graphicsOffsetMHz").get<int32_t>()) + " MHz  memory offset " +
           std::to_string(h.at("memoryOffsetMHz").get<int32_t>()) + " MHz  power target " +
           (power.is_null() ? std::string("-") : std::to_string(power.get<int32_t>()) + " %");
}

}  // namespace pyx
