#include "cli/KeepPrompt.h"

#include <algorithm>
#include <cctype>

#include "app/CoreTexts.h"
#include "app/ProgramOptions.h"

namespace pyx {

bool KeepPrompt::IsYes(std::string_view answer) {
    const size_t first = answer.find_first_not_of(" \t");
    answer = first == std::string_view::npos ? std::string_view() : answer.substr(first, answer.find_last_not_of(" \t") - first + 1);
    std::string lower(answer);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower == "y" || lower == "yes";
}

std::string KeepPrompt::ContinueQuestion() { return std::string(CoreTexts::Text(kContinuePromptText)) + " "; }

std::string KeepPrompt::KeepQuestion(int secondsLeft) {
    return CoreTexts::Format(kKeepPromptText, {std::to_string(secondsLeft)}) + " ";
}

std::optional<KeepPrompt> KeepPrompt::Prepare(const CliArgs& args, const std::string& change, std::ostream& err,
                                              const std::string& note) {
    KeepPrompt prompt(args, err);
    std::optional<int64_t> revertAfterS = ProgramOptions{}.revertAfterS;
    if (!args.Int("--revert-after", kRevertAfterMinS, kRevertAfterMaxS, revertAfterS, err)) return std::nullopt;
    prompt.revertAfterS_ = static_cast<int>(*revertAfterS);
    prompt.yes_ = args.Has("--yes");
    if (prompt.yes_) return prompt;
    prompt.terminal_ = PromptTerminal::For(err);
    if (!prompt.terminal_) {
        err << args.Prefix() << change << " needs --yes: there is no terminal to ask whether to keep it"
            << " (standard input and standard error are not both a terminal); nothing was sent\n"
            << note;
        return std::nullopt;
    }
    return prompt;
}

bool KeepPrompt::ConfirmWarning(const std::string& warning) {
    if (yes_) return true;
    if (!terminal_) return false;
    terminal_->DropTypedAhead();
    *err_ << CoreTexts::Text(warning) << "\n" << ContinueQuestion() << std::flush;
    const std::optional<std::string> answer = terminal_->ReadLine(std::nullopt);
    if (!answer) *err_ << "\n";
    return answer && IsYes(*answer);
}

bool KeepPrompt::AskKeep() {
    if (yes_ || !terminal_) return yes_;
    const auto deadline = PromptTerminal::Clock::now() + std::chrono::seconds(revertAfterS_);
    terminal_->DropTypedAhead();
    *err_ << KeepQuestion(revertAfterS_) << std::flush;
    const std::optional<std::string> answer = terminal_->ReadLine(deadline);
    if (!answer)
        *err_ << "\n"
              << (PromptTerminal::Clock::now() >= deadline ? "No answer in time" : "No answer (end of input)")
              << "; reverting.\n";
    return answer && IsYes(*answer);
}

KeepOutcome KeepPrompt::KeepOrRevert(const TuningRevert& before) {
    KeepOutcome outcome;
    outcome.kept = AskKeep();
    if (!outcome.kept) outcome.revert = before.Revert();
    return outcome;
}

nlohmann::json PrintRevertRefusals(const CliArgs& args, const nlohmann::json& refusalsWithWords, std::ostream& err) {
    nlohmann::json refused = nlohmann::json::array();
    for (const nlohmann::json& r : refusalsWithWords) {
        err << args.Prefix() << "GPU " << r.at("gpu").get<int>() << " did not take back its "
            << r.at("write").get<std::string>() << ": " << r.at("statusText").get<std::string>() << "\n";
        refused.push_back(WithoutWords(r));
    }
    if (!refused.empty()) err << args.Prefix() << "the settings from before were written back but for the values above\n";
    return refused;
}

nlohmann::json PrintRevertRefusals(const CliArgs& args, const TuningReport& revert, std::ostream& err) {
    return PrintRevertRefusals(args, RefusalsWithWords(revert), err);
}

}  // namespace pyx
