#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/AppState.h"
#include "app/TuningController.h"
#include "app/TuningReport.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

// Custom's values as a user gives them.
struct CustomTuningValues {
    int64_t coreMHz = 0, memMHz = 0, powerPercent = 0, fan = 0, gpuVfMHz = 0, memVfMHz = 0;
};

enum class CustomField : uint8_t { Core, Mem, Power, Fan, GpuVf, MemVf };

// A value of custom outside the range of a GPU it was to go to.
struct CustomValueOutOfRange {
    CustomField field = CustomField::Core;
    int64_t value = 0;
    int gpu = 0;
    int32_t min = 0, max = 0;
    const char* unit = "";  // "MHz", "%", "(fan)"
};

// An apply as the window's Apply does it, without its lighting: a mode onto the GPUs, for the
// owners of the cards that have no window (pyxtunectl, the service).
class TuningApply {
public:
    struct Order {
        int mode = kTuningModeNone;
        int selectedGpu = 0;
        bool allGpus = false;  // as with the window's link button
        CustomTuningValues custom;
    };
    struct Run {
        ApplyOutcome outcome = ApplyOutcome::Refused;
        TuningReport report;
        std::string warning;  // the overclocking warning, when one was asked
        std::string result;   // the result message (a core text's source)
    };
    // What a card holds after an apply.
    struct Holding {
        int gpu = 0;
        int32_t graphicsOffsetMHz = 0, memoryOffsetMHz = 0;
        std::optional<int32_t> powerPercent;  // none without a usable power range
        bool vf = false;                      // the offsets are those of the VF points
    };

    static std::vector<int> Gpus(const GpuBoardTable& boards, const Order& order);
    // Every custom value must fit every GPU it goes to: the first that does not. A GPU without
    // a usable power range is named in `powerless` (its power is not sent).
    static std::optional<CustomValueOutOfRange> CheckCustom(GpuBoardTable& boards, const std::vector<int>& gpus,
                                                            const CustomTuningValues& values,
                                                            std::vector<int>* powerless = nullptr);
    // The mode applied; `confirmWarning` answers the overclocking warning. `state` takes the
    // mode applied, as the window's does.
    static Run Apply(GpuBoardTable& boards, AppState& state, const Order& order,
                     const std::function<bool(const std::string& warning)>& confirmWarning);

    static std::vector<Holding> Holdings(GpuBoardTable& boards, const std::vector<int>& gpus);
    // Whether the card holds custom's values (the VF ones on a card with a VF range).
    static bool Holds(const Holding& holding, const CustomTuningValues& values);
    // {"gpu","graphicsOffsetMHz","memoryOffsetMHz","powerPercent","vf"}
    static nlohmann::json HoldingJson(const Holding& holding);
    static nlohmann::json HoldingsJson(GpuBoardTable& boards, const std::vector<int>& gpus);
    // "GPU 0  graphics offset 100 MHz  memory offset 0 MHz  power target 100 %"
    static std::string HoldingLine(const nlohmann::json& holding);
};

const char* CustomFieldName(CustomField field);  // "core", "gpuVf"

}  // namespace pyx
