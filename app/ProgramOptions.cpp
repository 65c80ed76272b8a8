#include "app/ProgramOptions.h"

#include <algorithm>

#include "app/CIni.h"
#include "app/CoreTexts.h"
#include "app/SettingsFileWriter.h"

namespace pyx {

namespace {

constexpr char kSection[] = "Options";
constexpr char kFansAutomaticOnExitKey[] = "FansAutomaticOnExit";
constexpr char kAskBeforeKeepingKey[] = "AskBeforeKeeping";
constexpr char kRevertAfterKey[] = "RevertAfterSeconds";

}  // namespace

ProgramOptions LoadProgramOptions(const std::filesystem::path& file) {
    ProgramOptions options;
    CIni ini;
    if (!ini.Load(file)) return options;
    if (const CTreeNode* section = ini.FindChild(ini.Root(), kSection)) {
        options.fansAutomaticOnExit = ini.ReadInt(section, kFansAutomaticOnExitKey) != 0;
        // A file from before these keys existed asks, with the default time.
        if (CIni::ValueOf(ini.FindChild(section, kAskBeforeKeepingKey)) != nullptr)
            options.askBeforeKeeping = ini.ReadInt(section, kAskBeforeKeepingKey) != 0;
        if (CIni::ValueOf(ini.FindChild(section, kRevertAfterKey)) != nullptr)
            options.revertAfterS = std::clamp(ini.ReadInt(section, kRevertAfterKey), kRevertAfterMinS, kRevertAfterMaxS);
    }
    ini.Release();
    return options;
}

bool SaveProgramOptions(const ProgramOptions& options, const std::filesystem::path& file) {
    SettingsFileWriter writer;
    writer.AddSection(kSection);
    writer.AddNumber(kFansAutomaticOnExitKey, options.fansAutomaticOnExit ? 1 : 0);
    writer.AddNumber(kAskBeforeKeepingKey, options.askBeforeKeeping ? 1 : 0);
    writer.AddNumber(kRevertAfterKey, std::clamp(options.revertAfterS, kRevertAfterMinS, kRevertAfterMaxS));
    return writer.Save(file);
}

std::string KeepQuestion(int secondsLeft) {
    return CoreTexts::Format(kKeepQuestionText, {std::to_string(secondsLeft)});
}

}  // namespace pyx
