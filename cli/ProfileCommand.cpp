#include "cli/ProfileCommand.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include <nlohmann/json.hpp>

#include "app/AppState.h"
#include "app/CIni.h"
#include "app/ProfileSections.h"
#include "app/ServiceChanges.h"
#include "app/TuningController.h"
#include "app/TuningReport.h"
#include "app/TuningRevert.h"
#include "app/TuningSettingsStore.h"
#include "cli/CliArgs.h"
#include "cli/CliService.h"
#include "cli/CliSession.h"
#include "cli/KeepPrompt.h"
#include "app/ProfileLoadCheck.h"

namespace pyx {

namespace {

const char* kProfileHelp =
    "usage: pyxtunectl profile save [FILE] | load [FILE] [--yes | --revert-after S] | show FILE [--json]\n"
    "  save   writes every GPU's current tuning to FILE (one [Gpu<n>] section per GPU, the\n"
    "         format of the program's settings files), replacing it in one step\n"
    "  load   reads FILE and applies each section whose Id names the GPU of its index: fan,\n"
    "         clock offsets, power target, VF offsets and thermal limit (exit status 1 when no\n"
    "         section matches a GPU here, or when a card refused a value: each is named). A\n"
    "         load is an apply: a value outside its card's range is refused with the range\n"
    "         before anything is sent, a positive clock offset needs the overclocking warning\n"
    "         confirmed, and on a terminal \"Keep these settings? [y/N] (reverted in 15 s)\"\n"
    "         follows: only y or yes keeps; otherwise the settings from before are put back\n"
    "         (exit status 0 when they all went back, 1 when a card refused part). --yes\n"
    "         answers both and is needed where standard input or standard error is not a\n"
    "         terminal; --revert-after S sets the time (5-60 s)\n"
    "         Without FILE, save and load use the program's own Preformance.txt, which the\n"
    "         window applies at every start; it lies in the settings folder that\n"
    "         \"pyxtunectl list\" names (on simulated cards a folder of the simulator's own).\n"
    "         Where the Pyxtune service owns the cards, load sends FILE's values to it and\n"
    "         save writes what it reads of the cards, its fan curves and lighting included\n"
    "         (FILE is then needed: the service keeps and puts back the machine's own settings)\n"
    "  show   prints the sections and keys of FILE as read, one GPU per block; needs no GPU\n"
    "  --json (show) the same as a JSON object\n";


// The settings key a loaded value came from.
const char* SettingsKeyOf(TuningOperation operation) {
    switch (operation) {
        case TuningOperation::GraphicsClockOffset: return "DyaGpuClock";
        case TuningOperation::MemoryClockOffset: return "DyaMemClock";
        case TuningOperation::GraphicsVfOffset: return "GpuVF";
        case TuningOperation::MemoryVfOffset: return "MemVF";
        case TuningOperation::PowerTarget: return "PowerTarget";
        case TuningOperation::FanAutomatic: return "FanWorkMode";
        case TuningOperation::FanSpeed:
        case TuningOperation::FanSpeedRpm:
        case TuningOperation::FanCoolerLevel: return "FanSpeed";
        case TuningOperation::ThermalLimit: return "ThermalLimit";
    }
    return "?";
}

// Reads file into ini; else says why, naming the file, and gives the exit status. A file that
// cannot be had is a bad argument; one that holds no settings (empty, not text, no section)
// is refused as a profile for other cards is.
std::optional<int> ReadSettingsFile(const CliArgs& args, const std::filesystem::path& file, CIni& ini,
                                    std::ostream& err) {
    const std::string name = args.Prefix() + file.string() + ": ";
    if (!ini.Load(file)) {
        const CIni::LoadFailure failure = ini.Failure();
        if (failure == CIni::LoadFailure::NotText || failure == CIni::LoadFailure::Malformed) {
            err << name << ini.FailureText() << "\n";
            return kExitHardware;
        }
        err << name << "cannot be read as a settings file (" << ini.FailureText() << ")\n";
        return kExitUsage;
    }
    if (ini.Root()->child) return std::nullopt;
    const bool empty = ini.Buffer().find_first_not_of(u"\xFEFF") == std::u16string_view::npos;
    err << name << (empty ? "is empty" : "holds no settings section (such as [Gpu1])") << "\n";
    return kExitHardware;
}

int Show(const CliArgs& args, const std::filesystem::path& file, std::ostream& out, std::ostream& err) {
    CIni ini;
    if (const std::optional<int> status = ReadSettingsFile(args, file, ini, err)) return *status;
    const std::vector<ProfileSection> sections = ProfileSections::Of(ini);
    if (args.Has("--json")) {
        nlohmann::json doc = nlohmann::json::array();
        for (const ProfileSection& s : sections) {
            nlohmann::json keys = nlohmann::json::object();
            for (const auto& [key, value] : s.keys) keys[key] = value;
            doc.push_back({{"section", s.name}, {"keys", keys}});
        }
        out << doc.dump(2) << "\n";
        return kExitOk;
    }
    bool first = true;
    for (const ProfileSection& s : sections) {
        if (!first) out << "\n";
        first = false;
        out << "[" << s.name << "]\n";
        for (const auto& [key, value] : s.keys) out << "  " << key << " = " << value << "\n";
    }
    return kExitOk;
}

// Every GPU's tuning into file.
int Save(CliSession& session, const CliArgs& parsed, const std::filesystem::path& file, std::ostream& out,
         std::ostream& err) {
    AppState state;
    std::error_code why;
    if (SaveTuningSettings(session.Boards(), state, file, &why) != 1) {
        err << parsed.Prefix() << CannotBeWrittenText(file, why) << "\n";
        return kExitUsage;
    }
    out << "Saved " << static_cast<int>(session.Boards().gpuCount) << " GPU(s) to " << file.string() << "\n";
    return kExitOk;
}

// The same through the service that owns the cards: it reads them, and this process, the
// user's own, writes the user's file.
int SaveThroughService(ServiceClient& service, const CliArgs& parsed, const std::filesystem::path& file,
                       std::ostream& out, std::ostream& err) {
    const ServiceChanges::Saved saved = ServiceChanges(service).SaveProfile(file);
    if (!saved.why.empty()) {
        err << parsed.Prefix() << saved.why << "\n";
        return saved.fileProblem ? kExitUsage : kExitHardware;
    }
    out << service.BackendLine() << "\n";
    out << "Saved " << saved.gpus << " GPU(s) to " << file.string() << "\n";
    return kExitOk;
}

// Why nothing was loaded: no section names a GPU here, with the sections this machine needs.
void SayNoGpuMatches(const CliArgs& parsed, GpuBoardTable& boards, const std::filesystem::path& file,
                     std::ostream& err) {
    err << parsed.Prefix() << file.string() << ": " << ProfileLoadCheck::NoGpuMatchesText(boards) << "\n";
}

// The file's tuning onto the cards it names, checked and confirmed as an apply is, with every
// value a card refused; then kept or taken back.
int Load(CliSession& session, const CliArgs& parsed, const std::filesystem::path& file, KeepPrompt& keep,
         std::ostream& out, std::ostream& err) {
    GpuBoardTable& boards = session.Boards();
    const ProfileLoadCheck check(file, boards);
    if (check.Gpus().empty()) {
        SayNoGpuMatches(parsed, boards, file, err);
        return kExitHardware;
    }
    if (!check.OutOfRange().empty()) {
        for (const std::string& value : check.OutOfRange()) err << parsed.Prefix() << file.string() << ": " << value << "\n";
        err << parsed.Prefix() << "nothing was sent\n";
        return kExitUsage;
    }
    if (check.Overclocks() && !keep.ConfirmWarning(kOverclockWarningText)) {
        err << parsed.Prefix() << file.string() << " was not loaded: the overclocking warning was not confirmed\n";
        return kExitUsage;
    }

    const TuningRevert before = TuningRevert::Capture(boards, check.Gpus());
    AppState state;
    TuningReport report;
    if (LoadTuningSettings(file, boards, state, &report) != 1) {
        SayNoGpuMatches(parsed, boards, file, err);
        return kExitHardware;
    }
    const std::vector<TuningWriteResult> refusals = report.Refusals();
    for (const TuningWriteResult& r : refusals) {
        // The automatic fan is asked for by its work mode, not by a value of its own.
        const int64_t fileValue = r.operation == TuningOperation::FanAutomatic ? 1 : r.value;
        err << parsed.Prefix() << "GPU " << r.gpu << " refused [Gpu" << r.gpu + 1 << "] " << SettingsKeyOf(r.operation)
            << "=" << fileValue << " (" << DescribeWrite(r) << "): " << StatusInWords(r.status) << "\n";
    }
    if (!refusals.empty())
        err << parsed.Prefix() << file.string() << " was loaded but for the values above\n";
    else
        out << "Loaded " << file.string() << "\n" << std::flush;

    const KeepOutcome kept = keep.KeepOrRevert(before);
    const bool revertRefused = !PrintRevertRefusals(parsed, kept.revert, err).empty();
    if (!kept.kept)
        out << "Reverted: the settings from before the load are back"
            << (revertRefused ? ", but for the values named above" : "") << ".\n";
    return refusals.empty() && !revertRefused ? kExitOk : kExitHardware;
}

// The same through the service that owns the cards: this client reads the user's file and sends
// its values; the service checks them against the cards, applies them, and takes them back
// unless this client keeps them in time.
int LoadThroughService(ServiceClient& service, const CliArgs& parsed, const std::filesystem::path& file,
                       KeepPrompt& keep, std::ostream& out, std::ostream& err) {
    CIni ini;
    if (const std::optional<int> status = ReadSettingsFile(parsed, file, ini, err)) return *status;
    ServiceRequest request;
    request.kind = RequestKind::ApplyProfile;
    request.profile = ProfileSections::Of(ini);
    // A positive clock offset anywhere in the file: the warning is asked before anything goes.
    if (ProfileSections::Overclock(request.profile) && !keep.ConfirmWarning(kOverclockWarningText)) {
        err << parsed.Prefix() << file.string() << " was not loaded: the overclocking warning was not confirmed\n";
        return kExitUsage;
    }
    // The service waits a little longer than the question, so that a yes given at its last
    // second still finds the change there.
    request.revertAfterS = std::min(keep.RevertAfterS() + 5, kMaxRevertAfterS);
    int exitCode = kExitOk;
    const auto reply = CliService::Ask(service, request, parsed.Prefix(), err, exitCode);
    if (!reply) return exitCode;
    out << service.BackendLine() << "\n";
    const nlohmann::json& refusals = reply->at("refusals");
    for (const nlohmann::json& r : refusals)
        err << parsed.Prefix() << "GPU " << r.value("gpu", -1) << " refused its " << r.value("write", std::string())
            << ": " << r.value("statusText", std::string()) << "\n";
    if (!refusals.empty())
        err << parsed.Prefix() << file.string() << " was loaded but for the values above\n";
    else
        out << "Loaded " << file.string() << "\n" << std::flush;

    ServiceRequest decision;
    decision.kind = keep.AskKeep() ? RequestKind::Keep : RequestKind::Revert;
    const auto answer = CliService::Ask(service, decision, parsed.Prefix(), err, exitCode);
    if (!answer) return exitCode;  // said why: the service took the change back on its own
    bool revertRefused = false;
    if (answer->contains("revertRefusals"))
        revertRefused = !PrintRevertRefusals(parsed, answer->at("revertRefusals"), err).empty();
    if (answer->contains("saveError"))
        err << parsed.Prefix() << "kept, but not stored for the next start: "
            << answer->at("saveError").get<std::string>() << "\n";
    if (!answer->value("kept", false))
        out << "Reverted: the settings from before the load are back"
            << (revertRefused ? ", but for the values named above" : "") << ".\n";
    return refusals.empty() && !revertRefused ? kExitOk : kExitHardware;
}

}  // namespace

int RunProfileCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("profile", args);
    if (!parsed.Parse({"--json", "--yes", "--help"}, {"--revert-after"}, err)) return kExitUsage;
    if (parsed.Has("--help")) {
        out << kProfileHelp;
        return kExitOk;
    }
    const auto& words = parsed.Words();
    const bool known = !words.empty() && (words[0] == "save" || words[0] == "load" || words[0] == "show");
    const bool fileOptional = known && words[0] != "show";
    if (!known || words.size() > 2 || (words.size() < 2 && !fileOptional)) {
        err << parsed.Prefix()
            << "expected an action and one FILE (accepted: save [FILE], load [FILE], show FILE)\n";
        return kExitUsage;
    }
    const std::string& action = words[0];
    if (action != "load" && (parsed.Has("--yes") || parsed.Has("--revert-after"))) {
        err << parsed.Prefix() << (parsed.Has("--yes") ? "--yes" : "--revert-after") << " belongs to load (" << action
            << " changes no card)\n";
        return kExitUsage;
    }
    // A path the user names is used as given; without one, the program's own settings file.
    const bool ownFile = words.size() < 2;
    if (!ownFile && words[1].empty()) {
        // "" would name the working folder's own "Preformance.txt" to the save.
        err << parsed.Prefix() << "an empty FILE names no file (leave FILE out for the program's own settings file)\n";
        return kExitUsage;
    }
    std::filesystem::path file = ownFile ? std::filesystem::path() : std::filesystem::path(words[1]);
    if (action == "show") return Show(parsed, file, out, err);
    if (parsed.Has("--json")) {
        err << parsed.Prefix() << "--json belongs to show (" << action << " prints no data)\n";
        return kExitUsage;
    }
    const auto refusal = [&] {
        CIni probe;
        return ReadSettingsFile(parsed, file, probe, err);
    };
    // A named file is checked before the cards are started; the own file's place depends on
    // the back-end, which the session chooses.
    if (action == "load" && !ownFile)
        if (const std::optional<int> status = refusal()) return *status;
    std::optional<KeepPrompt> keep;
    if (action == "load") {
        keep = KeepPrompt::Prepare(parsed, "profile load", err);
        if (!keep) return kExitUsage;
    }

    int exitCode = kExitOk;
    if (auto service = CliService::Open(err, exitCode)) {
        if (ownFile) {
            err << parsed.Prefix() << "the Pyxtune service keeps the machine's settings itself and puts them back "
                                      "at every start: name the FILE to "
                << action << "\n";
            return kExitUsage;
        }
        return action == "load" ? LoadThroughService(*service, parsed, file, *keep, out, err)
                                : SaveThroughService(*service, parsed, file, out, err);
    }
    if (exitCode != kExitOk) return exitCode;
    auto session = CliSession::Open(err, exitCode);
    if (!session) return exitCode;
    out << session->BackendLine() << "\n";
    if (ownFile) {
        // Without a settings folder there is no own file: nothing is read from or written to
        // any other place instead.
        std::string why;
        const std::optional<std::filesystem::path> folder =
            action == "save" ? session->SettingsFolderForSaving(why) : session->Settings().Folder();
        if (!folder) {
            err << parsed.Prefix() << (why.empty() ? session->Settings().WhyNotUsed() : why) << "\n";
            return kExitUsage;
        }
        file = *session->Settings().TuningFile();
        if (action == "load")
            if (const std::optional<int> status = refusal()) return *status;
    }
    return action == "save" ? Save(*session, parsed, file, out, err) : Load(*session, parsed, file, *keep, out, err);
}

}  // namespace pyx
