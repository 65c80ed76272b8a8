#include "app/FanReport.h"

#include "app/TuningReport.h"
#include "gpu/CardTuning.h"

namespace pyx {

namespace {

// The fan path a hand-back answer belongs to.
std::string AnswerPathName(GpuBoardTable& boards, const TuningWriteResult& answer) {
    switch (answer.operation) {
        case TuningOperation::FanCoolerLevel:
            return FanReport::OutletName({FanPath::FanCoolers, 0});
        case TuningOperation::FanAutomatic:
        case TuningOperation::FanSpeed:
        case TuningOperation::FanSpeedRpm:
            return FanReport::OutletName({CardTuning(boards, answer.gpu).Fan(), 0});
        default:
            return OperationName(answer.operation);
    }
}

const char* ModeWord(FanControlMode mode) {
    switch (mode) {
        case FanControlMode::Automatic: return "automatic";
        case FanControlMode::Manual: return "manual";
        case FanControlMode::Unknown: break;
    }
    return "unknown";
}

}  // namespace

nlohmann::json FanReport::HandBack(GpuBoardTable& boards, const std::vector<int>& gpus) {
    nlohmann::json documents = nlohmann::json::array();
    for (const int gpu : gpus) {
        TuningReport report;
        const CardTuning card(boards, gpu);
        if (card.Valid()) report.Add(gpu, card.HandBackFans());
        nlohmann::json answers = nlohmann::json::array();
        for (const TuningWriteResult& answer : report.Writes())
            answers.push_back({{"path", AnswerPathName(boards, answer)},
                               {"refused", answer.Refused()},
                               {"status", StatusInWords(answer.status)},
                               {"write", DescribeWrite(answer)}});
        documents.push_back({{"gpu", gpu}, {"answers", answers}});
    }
    return {{"gpus", documents}};
}

nlohmann::json FanReport::Read(GpuBoardTable& boards, const std::vector<int>& gpus) {
    nlohmann::json documents = nlohmann::json::array();
    for (const int gpu : gpus) {
        nlohmann::json rows = nlohmann::json::array();
        for (const FanOutletState& fan : CardTuning(boards, gpu).ReadFans())
            rows.push_back({{"path", PathKey(fan.outlet.path)},
                            {"name", OutletName(fan.outlet)},
                            {"coolerId", fan.outlet.coolerId},
                            {"mode", ModeWord(fan.mode)},
                            {"level", fan.level ? nlohmann::json(*fan.level) : nlohmann::json(nullptr)},
                            {"unit", FanUnitName(fan.unit)}});
        documents.push_back({{"gpu", gpu}, {"fans", rows}});
    }
    return {{"gpus", documents}};
}

std::string FanReport::OutletName(const FanOutlet& outlet) {
    switch (outlet.path) {
        case FanPath::LibraryCooler: return "library cooler";
        case FanPath::PacedLibraryCooler: return "paced library cooler";
        case FanPath::LibraryCoolerAndChip: return "library cooler and chip";
        case FanPath::TachometerChip: return "tachometer chip";
        case FanPath::FanCoolers:
            return outlet.IsCooler() ? "fan cooler " + std::to_string(outlet.coolerId) : std::string("fan coolers");
    }
    return "fan path " + std::to_string(FanPathCode(outlet.path));
}

const char* FanReport::PathKey(FanPath path) {
    switch (path) {
        case FanPath::LibraryCooler: return "libraryCooler";
        case FanPath::PacedLibraryCooler: return "pacedLibraryCooler";
        case FanPath::LibraryCoolerAndChip: return "libraryCoolerAndChip";
        case FanPath::TachometerChip: return "tachometerChip";
        case FanPath::FanCoolers: return "fanCoolers";
    }
    return "unknown";
}

}  // namespace pyx
