#include "app/TuningReadBack.h"

#include <cmath>
#include <map>
#include <optional>
#include <utility>

#include "gpu/CardTuningState.h"

namespace pyx {

namespace {

// What the card reports of one write's quantity.
struct Reading {
    enum class Kind { Value, FansTheCards, FanFixed } kind = Kind::Value;
    int64_t value = 0;  // Value: in the operation's unit
};

bool IsFixedFanWrite(const TuningWriteResult& write) {
    return write.operation == TuningOperation::FanSpeed || write.operation == TuningOperation::FanSpeedRpm ||
           (write.operation == TuningOperation::FanCoolerLevel && write.value != 0);
}

// None when the card does not report the quantity, or holds what was sent.
std::optional<Reading> Differs(const CardTuningState& held, const TuningWriteResult& write) {
    const auto value = [&](std::optional<int64_t> v) -> std::optional<Reading> {
        if (!v || *v == write.value) return std::nullopt;
        return Reading{Reading::Kind::Value, *v};
    };
    switch (write.operation) {
        case TuningOperation::GraphicsClockOffset:
            return held.offsets ? value(held.offsets->graphics.valueKHz / 1000) : std::nullopt;
        case TuningOperation::MemoryClockOffset:
            return held.offsets ? value(held.offsets->memory.valueKHz / 1000) : std::nullopt;
        case TuningOperation::GraphicsVfOffset:
        case TuningOperation::MemoryVfOffset: {
            // Every programmable point of the domain was sent the same offset.
            const VfPointDomain domain = write.operation == TuningOperation::GraphicsVfOffset ? VfPointDomain::Graphics
                                                                                               : VfPointDomain::Memory;
            if (!held.vfPoints) return std::nullopt;
            for (const VfPointOffset& point : *held.vfPoints)
                if (point.domain == domain && point.offsetKHz != write.value) return value(point.offsetKHz);
            return std::nullopt;
        }
        case TuningOperation::PowerTarget:
            return held.powerPcm ? value(std::lround(*held.powerPcm / 1000.0)) : std::nullopt;
        case TuningOperation::ThermalLimit:
            return held.thermalLimitC ? value(std::lround(*held.thermalLimitC)) : std::nullopt;
        case TuningOperation::FanSpeed:
        case TuningOperation::FanSpeedRpm:
        case TuningOperation::FanCoolerLevel:
        case TuningOperation::FanAutomatic:
            break;
    }
    // Fans: each that says what it does, in the unit the write was in.
    const FanUnit unit = write.operation == TuningOperation::FanSpeedRpm ? FanUnit::Rpm : FanUnit::Percent;
    for (const FanOutletState& fan : held.fans) {
        if (fan.mode == FanControlMode::Unknown) continue;
        if (!IsFixedFanWrite(write)) {
            if (fan.mode == FanControlMode::Manual) return Reading{Reading::Kind::FanFixed, fan.level.value_or(0)};
            continue;
        }
        if (fan.unit != unit) continue;
        if (fan.mode == FanControlMode::Automatic) return Reading{Reading::Kind::FansTheCards, 0};
        if (fan.level && *fan.level != write.value) return value(*fan.level);
    }
    return std::nullopt;
}

std::string Amount(TuningOperation operation, int64_t value) {
    return std::to_string(value) + " " + OperationUnit(operation);
}

}  // namespace

std::vector<std::string> TuningReadBack::Drift(GpuBoardTable& boards, const TuningReport& sent) {
    // The last accepted write of each quantity is what the card should hold.
    std::map<std::pair<int, TuningOperation>, TuningWriteResult> last;
    for (const TuningWriteResult& write : sent.Writes())
        if (!write.Refused()) last[{write.gpu, write.operation}] = write;

    std::map<int, CardTuningState> held;
    std::vector<std::string> lines;
    for (const auto& [key, write] : last) {
        auto card = held.find(write.gpu);
        if (card == held.end()) card = held.emplace(write.gpu, CaptureTuning(boards, write.gpu)).first;
        const std::optional<Reading> reading = Differs(card->second, write);
        if (!reading) continue;
        const std::string gpu = "GPU " + std::to_string(write.gpu) + "'s ";
        switch (reading->kind) {
            case Reading::Kind::Value:
                lines.push_back(gpu + OperationName(write.operation) + " reads " + Amount(write.operation, reading->value) +
                                ", not the " + Amount(write.operation, write.value) + " sent");
                break;
            case Reading::Kind::FansTheCards:
                lines.push_back(gpu + "fan is under the card's own control, not fixed at the " +
                                Amount(write.operation, write.value) + " sent");
                break;
            case Reading::Kind::FanFixed:
                lines.push_back(gpu + "fan is still fixed (at " + std::to_string(reading->value) +
                                "), not handed back to the card");
                break;
        }
    }
    return lines;
}

}  // namespace pyx
