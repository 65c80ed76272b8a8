#include "app/TuningReport.h"

#include <algorithm>
#include <string_view>

#include "app/CoreTexts.h"

namespace pyx {

namespace {

struct OperationText {
    TuningOperation operation;
    const char* name;
    const char* key;
    const char* unit;
};

constexpr OperationText kOperations[] = {
    {TuningOperation::GraphicsClockOffset, "graphics clock offset", "graphicsClockOffset", "MHz"},
    {TuningOperation::MemoryClockOffset, "memory clock offset", "memoryClockOffset", "MHz"},
    {TuningOperation::GraphicsVfOffset, "graphics VF point offset", "graphicsVfOffset", "kHz"},
    {TuningOperation::MemoryVfOffset, "memory VF point offset", "memoryVfOffset", "kHz"},
    {TuningOperation::PowerTarget, "power target", "powerTarget", "%"},
    {TuningOperation::ThermalLimit, "temperature limit", "thermalLimit", "C"},
    {TuningOperation::FanSpeed, "fan speed", "fanSpeed", "%"},
    {TuningOperation::FanSpeedRpm, "fan speed", "fanSpeedRpm", "RPM"},
    {TuningOperation::FanCoolerLevel, "fan speed", "fanCoolerLevel", "%"},
    {TuningOperation::FanAutomatic, "automatic fan control", "fanAutomatic", ""},
};

const OperationText& TextOf(TuningOperation operation) {
    for (const OperationText& t : kOperations)
        if (t.operation == operation) return t;
    return kOperations[0];
}

}  // namespace

std::vector<TuningWriteResult> TuningReport::Refusals() const {
    // A value some step sends twice (Reset zeroes the offsets at its start and its end) is one
    // refusal to the user: the first of each, in order.
    std::vector<TuningWriteResult> out;
    for (const TuningWriteResult& w : writes_) {
        const auto same = [&w](const TuningWriteResult& o) {
            return o.gpu == w.gpu && o.operation == w.operation && o.value == w.value && o.status == w.status;
        };
        if (w.Refused() && std::none_of(out.begin(), out.end(), same)) out.push_back(w);
    }
    return out;
}

bool TuningReport::AnyRefused() const {
    return std::any_of(writes_.begin(), writes_.end(), [](const TuningWriteResult& w) { return w.Refused(); });
}

bool TuningReport::RefusedOn(int gpu) const {
    return std::any_of(writes_.begin(), writes_.end(),
                       [gpu](const TuningWriteResult& w) { return w.gpu == gpu && w.Refused(); });
}

bool TuningReport::Refused(int gpu, TuningOperation operation) const {
    return std::any_of(writes_.begin(), writes_.end(), [gpu, operation](const TuningWriteResult& w) {
        return w.gpu == gpu && w.operation == operation && w.Refused();
    });
}

const char* OperationName(TuningOperation operation) { return TextOf(operation).name; }
const char* OperationKey(TuningOperation operation) { return TextOf(operation).key; }
const char* OperationUnit(TuningOperation operation) { return TextOf(operation).unit; }

std::string DescribeWrite(const TuningWriteResult& write) {
    std::string text = OperationName(write.operation);
    const std::string_view unit = OperationUnit(write.operation);
    if (unit.empty()) return text;
    text.append(" ").append(std::to_string(write.value)).append(" ").append(unit);
    return text;
}

std::string StatusInWords(NvStatus status) {
    std::string words;
    switch (status) {
        case kNvFailed: words = "the card did not answer, or the part is missing"; break;
        case kNvLibraryNotFound: words = "the driver's library was not found"; break;
        case kNvNoInterface: words = "the driver does not offer this operation"; break;
        case kNvInvalidArgument: words = "the card does not accept this value"; break;
        case kNvNoPermission: words = kNeedsAdministratorRights; break;
        case kNvNotSupported: words = "this card does not support it"; break;
        default: words = "the driver reported an error"; break;
    }
    return words + " (status " + std::to_string(status) + ")";
}

std::string DescribeRefusals(const TuningReport& report) {
    const std::vector<TuningWriteResult> refusals = report.Refusals();
    if (refusals.empty()) return {};
    std::vector<int> gpus;
    for (const TuningWriteResult& r : refusals)
        if (std::find(gpus.begin(), gpus.end(), r.gpu) == gpus.end()) gpus.push_back(r.gpu);
    std::sort(gpus.begin(), gpus.end());

    std::string text = std::string(CoreTexts::Text(kNotEverySettingAppliedText)) + "\n";
    for (const int gpu : gpus) {
        // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on `"\n" + std::string`.
        text += '\n';
        text += CoreTexts::Format(kGpuRefusedText, {std::to_string(gpu)});
        text += '\n';
        for (const TuningWriteResult& r : refusals)
            if (r.gpu == gpu) text += "  " + DescribeWrite(r) + ": " + StatusInWords(r.status) + "\n";
    }
    text += "\n";
    text += CoreTexts::Text(kOtherSettingsAppliedText);
    return text;
}

}  // namespace pyx
