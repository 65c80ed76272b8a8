#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gpu/GpuBoardTable.h"
#include "led/LedBoardState.h"
#include "led/LedColour.h"
#include "led/LedEffectEngine.h"
#include "led/LedPageState.h"
#include "led/LedSettings.h"
#include "led/LedWriteResult.h"

namespace pyx {

// One lighting choice as the LED page makes it, by name: a target controller, a mode that
// controller offers, a colour and, for the basic controller's timed effects, the step period.
// pyxtunectl and the service take it from their callers' words; both check it here.
class LedOrder {
public:
    enum class Family : uint8_t { Basic, Zone, Effect };
    // What a check refused: the field ("target", "mode", "color", "period") and why.
    struct Refusal {
        std::string field;
        std::string why;
    };

    // The names as pyxtunectl's options give them; none with `refusal` set.
    static std::optional<LedOrder> FromNames(std::string_view target, std::string_view mode,
                                             std::optional<std::string_view> colour, std::optional<int64_t> periodS,
                                             Refusal& refusal);
    // What the saved lighting gives `target`: its family's saved mode, the saved colour and
    // period. None where the saved bytes choose nothing for that family.
    static std::optional<LedOrder> FromSaved(const LedSettings& saved, LedTarget target);
    // The target the window's start selects on a GPU whose probe found `kind`; none for none.
    static std::optional<LedTarget> TargetOfKind(LedKind kind);
    // What the saved lighting keeps of this order: its family's mode and the colour, and the
    // period where one was given. The other families' modes stay as they were.
    void Keep(LedSettings& saved) const;

    const char* TargetName() const;
    LedTarget Target() const;
    const char* ModeName() const;
    Family TargetFamily() const;
    LedColour Colour() const { return colour_; }
    std::optional<int64_t> PeriodS() const { return periodS_; }
    // The basic controller's load colour follows the GPU's load, fed once a second.
    bool FollowsLoad() const;
    // Static and off on the basic controller are animated by the program, yet show one colour.
    bool Still() const;

    // Why GPU gpu cannot show the order.
    enum class Fault : uint8_t { None, NoSuchController, OtherControllerFirst };
    // Probes the GPU's controllers as selecting it in the window does and fills the page as the
    // user would set it; on a fault, `why` names it.
    Fault Prepare(GpuBoardTable& boards, int gpu, LedPageState& page, std::string& why) const;
    // The same on a page whose board for gpu holds that probe already (ProbeLedBoard).
    Fault PrepareProbed(int gpu, LedPageState& page, std::string& why) const;

    // Sends the prepared page as the window's Apply sends its page: to onlyGpu alone, or to every
    // GPU prepared (several breathe in step, animated by the program). A load colour wants the
    // engine's load set first. `save` gets the lighting as "Led.txt" keeps it, where the
    // machine's several GPUs need it kept for the LED service. The writes refused.
    using SaveLighting = std::function<void(const LedSettings& settings, int gpuMode)>;
    static LedWriteResult Drive(LedEffectEngine& engine, const LedPageState& page, std::optional<int> onlyGpu,
                                const SaveLighting& save);
    // Whether the program animates an effect now (the basic controller's, or breathing in step).
    static bool AnyEffectRunning(const LedEffectEngine& engine);

private:
    LedOrder() = default;
    size_t target_ = 0;
    size_t mode_ = 0;
    LedColour colour_{255, 0, 0};
    std::optional<int64_t> periodS_;
};

}  // namespace pyx
