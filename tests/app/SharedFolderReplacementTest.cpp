// Every file the program replaces may lie in a folder other users can write: whatever names
// they planted there, root's write ends as a new plain file of root's at the target's name,
// and no file a planted link points at is written.
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gpu/ClockControl.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiLibrary.h"
#include "platform/linux/XdgAutostartList.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "sim/SimStateFile.h"
#include "tests/support/FileText.h"
#include "tests/support/linux/OtherUserRig.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;

// The simulator's cards with their state in `file`, changed once as a program would.
bool ChangeSimulatedCard(const fs::path& file) {
    auto cards = sim::SimScenario::Default();
    std::string error;
    if (!sim::SimStateFile::Attach(*cards, file, error)) return false;
    NvApiLibrary nv(std::make_unique<sim::SimLibrarySource>(std::move(cards)));
    GpuBoardTable table(nv);
    return nv.Initialize() == kNvOk && table.EnumerateBoards() == kNvOk &&
           SetGraphicsClockOffset(table, 0, 51000) == kNvOk;
}

TEST(SharedFolderReplacement, NoPlantedNameMakesRootWriteThroughALink) {
    std::string whyNot;
    const auto rig = test::OtherUserRig::Make(whyNot);
    if (!rig) GTEST_SKIP() << whyNot;
    const std::string pid = std::to_string(::getpid());
    struct Case {
        const char* target;
        std::vector<std::string> planted;  // the names the program used or uses
        std::function<bool(const fs::path& folder)> write;
        const char* written;
    };
    const Case cases[] = {
        {"cards.json", {"cards.json.tmp" + pid},
         [](const fs::path& f) { return ChangeSimulatedCard(f / "cards.json"); }, "\"deltaKHz\": 51000"},
        {"Pyxtune.desktop", {"Pyxtune.desktop", "Pyxtune.desktop.new"},
         [](const fs::path& f) { return XdgAutostartList(f).Write("Pyxtune", "/opt/pyxtune SysTray"); },
         "Exec=/opt/pyxtune SysTray\n"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(rig->PlantLinks(c.planted)) << c.target;
        EXPECT_TRUE(c.write(rig->Shared())) << c.target;
        EXPECT_TRUE(rig->RootsFileUntouched()) << c.target;
        const fs::path file = rig->Shared() / c.target;
        struct stat info {};
        ASSERT_EQ(::lstat(file.c_str(), &info), 0) << c.target;
        EXPECT_TRUE(S_ISREG(info.st_mode) && info.st_uid == 0) << c.target;
        EXPECT_NE(test::FileText(file).find(c.written), std::string::npos) << c.target;
    }
}

}  // namespace
}  // namespace pyx
