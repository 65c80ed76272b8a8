#pragma once
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "app/TuningReport.h"
#include "app/TuningReportJson.h"
#include "app/TuningRevert.h"
#include "cli/CliArgs.h"
#include "cli/PromptTerminal.h"

namespace pyx {

// The questions pyxtunectl asks on the terminal, translated as the core's texts are. Each
// names the answers it takes, and those answers are the same in every language.
inline constexpr char kContinuePromptText[] = "Continue? [y/N]";
inline constexpr char kKeepPromptText[] = "Keep these settings? [y/N] (reverted in %1 s)";

// What became of an applied change.
struct KeepOutcome {
    bool kept = true;
    TuningReport revert;  // the writes that took it back; empty when kept
};

// The confirmations of a command that changes a card's tuning: the overclocking warning
// before it and the keep question after it, answered by --yes or on the terminal. A change
// nobody keeps is taken back, so a tuning that hangs the display undoes itself.
class KeepPrompt {
public:
    // "y" or "yes" in any case; anything else, an empty line included, is a no.
    static bool IsYes(std::string_view answer);
    // "Continue? [y/N] " in the user's language.
    static std::string ContinueQuestion();
    // "Keep these settings? [y/N] (reverted in 15 s) " in the user's language.
    static std::string KeepQuestion(int secondsLeft);

    // --yes and --revert-after read; none (after saying why) when --revert-after is not a
    // whole number of seconds in the accepted range, or when neither --yes nor a terminal can
    // confirm `change` (this is checked before any card is touched); `note` follows that
    // refusal.
    static std::optional<KeepPrompt> Prepare(const CliArgs& args, const std::string& change, std::ostream& err,
                                             const std::string& note = "");

    bool OnTerminal() const { return terminal_ != nullptr; }
    // The overclocking warning, shown in the user's language: OK with --yes, else asked on the
    // terminal.
    bool ConfirmWarning(const std::string& warning);
    // Kept with --yes or a "y" within the time; otherwise `before` is written back.
    KeepOutcome KeepOrRevert(const TuningRevert& before);
    // The keep question alone, for a change someone else takes back (the service): true for
    // --yes or a "y" within the time.
    bool AskKeep();
    int RevertAfterS() const { return revertAfterS_; }

private:
    KeepPrompt(const CliArgs& args, std::ostream& err) : args_(&args), err_(&err) {}

    const CliArgs* args_;
    std::ostream* err_;
    bool yes_ = false;
    int revertAfterS_ = 0;
    std::unique_ptr<PromptTerminal> terminal_;
};

// Each write a revert could not put back, on err; the same as a JSON array (the fields of an
// apply's refusals).
nlohmann::json PrintRevertRefusals(const CliArgs& args, const TuningReport& revert, std::ostream& err);
// The same from another process's report (RefusalsWithWords).
nlohmann::json PrintRevertRefusals(const CliArgs& args, const nlohmann::json& refusalsWithWords, std::ostream& err);

}  // namespace pyx
