// The trace and the BIOS reader's dump may be named in a folder other users can write: root
// writes a name that exists only when it is a plain file of root's own.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "gpu/Trace.h"
#include "gpu/readmem/BiosDump.h"
#include "tests/support/FileText.h"
#include "tests/support/linux/OtherUserRig.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;
using test::OtherUserRig;

struct Writer {
    const char* name;
    std::function<bool(const fs::path&, std::string& why)> write;
    const char* written;  // what the file then holds after what was there
};

const Writer kTrace{"trace",
                    [](const fs::path& file, std::string& why) {
                        auto trace = Trace::Open(file.string(), why);
                        if (trace) trace->Write("Probe", 0, "", 0);
                        return trace != nullptr;
                    },
                    " Probe gpu=0 status=0\n"};
const Writer kDump{"dump",
                   [](const fs::path& file, std::string& why) { return readmem::WriteDump(file, {'P', 'M'}, why); },
                   "PM"};

enum class Planted { Nothing, OthersLink, OthersFile, OwnStaleFile, OwnLink };

TEST(ForeignFile, AnExistingNameIsWrittenOnlyWhenItIsAPlainFileOfTheRunningUser) {
    std::string whyNot;
    const auto rig = OtherUserRig::Make(whyNot);
    if (!rig) GTEST_SKIP() << whyNot;
    struct Case {
        const Writer& writer;
        Planted planted;
        const char* refusal;  // null: written
        std::string kept;     // what was there and stays in front of what is written
    };
    const Case cases[] = {
        {kTrace, Planted::Nothing, nullptr, ""},
        {kTrace, Planted::OthersLink, "symbolic link", ""},
        {kTrace, Planted::OthersFile, "another user", ""},
        {kTrace, Planted::OwnStaleFile, nullptr, "earlier lines\n"},
        {kTrace, Planted::OwnLink, "symbolic link", ""},
        {kDump, Planted::Nothing, nullptr, ""},
        {kDump, Planted::OthersLink, "another user", ""},
        {kDump, Planted::OthersFile, "another user", ""},
        {kDump, Planted::OwnStaleFile, nullptr, ""},  // an old dump is replaced, not added to
        {kDump, Planted::OwnLink, nullptr, ""},       // the link itself goes
    };
    int serial = 0;
    for (const Case& c : cases) {
        const std::string name = std::string(c.writer.name) + std::to_string(serial++);
        const fs::path file = rig->Shared() / name;
        const std::string label = name + " planted " + std::to_string(static_cast<int>(c.planted));
        switch (c.planted) {
            case Planted::Nothing: break;
            case Planted::OthersLink: ASSERT_TRUE(rig->PlantLinks({name})) << label; break;
            case Planted::OthersFile: ASSERT_TRUE(rig->PlantFile(name, "theirs")) << label; break;
            case Planted::OwnStaleFile: std::ofstream(file) << "earlier lines\n"; break;
            case Planted::OwnLink: fs::create_symlink(rig->RootsFile(), file); break;
        }
        std::string why;
        const bool written = c.writer.write(file, why);
        EXPECT_TRUE(rig->RootsFileUntouched()) << label;
        if (c.refusal != nullptr) {
            EXPECT_FALSE(written) << label;
            EXPECT_NE(why.find(c.refusal), std::string::npos) << label << ": " << why;
            if (c.planted == Planted::OthersFile) {
                EXPECT_EQ(test::FileText(file), "theirs") << label;
            }
            continue;
        }
        EXPECT_TRUE(written) << label << ": " << why;
        struct stat info {};
        ASSERT_EQ(::lstat(file.c_str(), &info), 0) << label;
        EXPECT_TRUE(S_ISREG(info.st_mode) && info.st_uid == ::geteuid()) << label;
        const std::string text = test::FileText(file);
        EXPECT_EQ(text.substr(0, c.kept.size()), c.kept) << label;
        EXPECT_NE(text.find(c.writer.written, c.kept.size()), std::string::npos) << label << ": " << text;
    }
}

}  // namespace
}  // namespace pyx
