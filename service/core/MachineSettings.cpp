#include "service/core/MachineSettings.h"

#include <fstream>
#include <span>
#include <system_error>

#include <nlohmann/json.hpp>

#include "app/TuningReadBack.h"
#include "app/TuningSettingsStore.h"
#include "platform/FileReplacement.h"

namespace pyx {

namespace {

constexpr const char* kServiceSettingsFileName = "Service.json";

}  // namespace

MachineSettings::MachineSettings(GpuBoardTable& boards, AppState& state, std::optional<std::filesystem::path> folder)
    : boards_(boards), state_(state), folder_(std::move(folder)) {
    if (!folder_) return;
    guard_ = ReapplyGuard(*folder_);
    // A file this service did not write, or a damaged one, leaves the choice at its default.
    std::ifstream in(*folder_ / kServiceSettingsFileName);
    const nlohmann::json doc = nlohmann::json::parse(in, nullptr, false);
    if (doc.is_object() && doc.contains("keepLighting") && doc.at("keepLighting").is_boolean())
        keepLighting_ = doc.at("keepLighting").get<bool>();
}

bool MachineSettings::SetKeepsLighting(bool keep, std::string& why) {
    keepLighting_ = keep;
    if (!folder_) {
        why = "the service keeps no settings (started without a settings folder)";
        return false;
    }
    const std::filesystem::path file = *folder_ / kServiceSettingsFileName;
    std::error_code failed;
    const auto replacement = FileReplacement::Begin(file, failed);
    const std::string text = nlohmann::json{{"keepLighting", keep}}.dump(2) + "\n";
    if (replacement && replacement->Commit(std::as_bytes(std::span(text.data(), text.size())))) return true;
    why = file.string() + " cannot be written: " + (replacement ? replacement->Error() : failed).message();
    return false;
}

bool MachineSettings::Save(std::string& why) { return Write(kTuningSettingsFileName, why); }

bool MachineSettings::SaveLighting(std::string& why) { return Write(kLedSettingsFileName, why); }

std::optional<std::filesystem::path> MachineSettings::LightingFile() const {
    if (!folder_) return std::nullopt;
    return *folder_ / kLedSettingsFileName;
}

bool MachineSettings::Write(const char* fileName, std::string& why) {
    if (!folder_) {
        why = "the service keeps no settings (started without a settings folder)";
        return false;
    }
    std::error_code failed;
    if (SaveTuningSettings(boards_, state_, *folder_ / fileName, &failed) == 1) return true;
    why = (*folder_ / fileName).string() + " cannot be written: " + failed.message();
    return false;
}

std::vector<std::string> MachineSettings::Reapply(std::string_view occasion) {
    const std::string when(occasion);
    if (!folder_) return {};
    const std::filesystem::path file = *folder_ / kTuningSettingsFileName;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return {"no settings to put back " + when};
    // A put-back of this same run that went through (or was refused) is no crash: it starts
    // afresh. One that an earlier run never finished stays skipped for this run.
    if (!guard_.Skipped() && guard_.State() != ReapplyState::NotBegun) {
        guard_.End();
        guard_ = ReapplyGuard(*folder_);
    }
    if (!guard_.Begin(file, ReapplyGuard::Clock::now()))
        return {"the settings were not put back " + when + ": " + std::string(kReapplySkippedMessage)};
    TuningReport report;
    const bool matched = LoadTuningSettings(file, boards_, state_, &report) == 1;
    guard_.Finished(report.AnyRefused(), ReapplyGuard::Clock::now());
    std::vector<std::string> lines;
    if (!matched) lines.push_back("the settings name none of these GPUs; nothing was put back " + when);
    for (const TuningWriteResult& r : report.Refusals())
        lines.push_back("GPU " + std::to_string(r.gpu) + " refused its " + DescribeWrite(r) + " " + when + ": " +
                        StatusInWords(r.status));
    if (matched && !report.AnyRefused()) lines.push_back("the settings were put back " + when);
    // A card may keep another value than the one it took; the log says which.
    for (const std::string& drift : TuningReadBack::Drift(boards_, report))
        lines.push_back(drift + ", when the settings were put back " + when);
    return lines;
}

void MachineSettings::Tick() {
    if (folder_) guard_.Tick(ReapplyGuard::Clock::now());
}

void MachineSettings::End() {
    if (folder_) guard_.End();
}

}  // namespace pyx
