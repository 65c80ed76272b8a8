#include "app/ProgramOptions.h"

#include "app/CIni.h"
#include "app/SettingsFileWriter.h"

namespace pyx {

namespace {

constexpr char kSection[] = "Options";
constexpr char kFansAutomaticOnExitKey[] = "FansAutomaticOnExit";

}  // namespace

ProgramOptions LoadProgramOptions(const std::filesystem::path& file) {
    ProgramOptions options;
    CIni ini;
    if (!ini.Load(file)) return options;
    if (const CTreeNode* section = ini.FindChild(ini.Root(), kSection))
        options.fansAutomaticOnExit = ini.ReadInt(section, kFansAutomaticOnExitKey) != 0;
    ini.Release();
    return options;
}

bool SaveProgramOptions(const ProgramOptions& options, const std::filesystem::path& file) {
    SettingsFileWriter writer;
    writer.AddSection(kSection);
    writer.AddNumber(kFansAutomaticOnExitKey, options.fansAutomaticOnExit ? 1 : 0);
    return writer.Save(file);
}

}  // namespace pyx
