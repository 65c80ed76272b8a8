#include "app/RunEntry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "tests/support/FakeLogonRunList.h"
#include "platform/linux/XdgAutostartList.h"
#include "tests/support/FileText.h"
#include "tests/support/TempFolder.h"

namespace {

// The real autostart list in a temporary $XDG_CONFIG_DIRS.
class RunEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* saved = getenv("XDG_CONFIG_DIRS");
    hadSaved_ = saved != nullptr;
    if (saved) saved_ = saved;
    setenv("XDG_CONFIG_DIRS", (root_.string() + ":/etc/xdg").c_str(), 1);
    list_ = std::make_unique<XdgAutostartList>();
  }
  void TearDown() override {
    if (hadSaved_) {
      setenv("XDG_CONFIG_DIRS", saved_.c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_DIRS");
    }
  }
  std::filesystem::path EntryFile() const { return root_ / "autostart" / "Pyxtune.desktop"; }
  std::string EntryText() const { return pyx::test::FileText(EntryFile()); }
  // Puts a raw command line in the list, as another tool or an older version may have.
  void Store(const std::string& commandLine) {
    ASSERT_TRUE(list_->Write(kRunEntryName, commandLine));
  }

  const pyx::test::TempFolder folder_{"pyx-run-"};
  const std::filesystem::path root_ = folder_.Path();
  std::string saved_;
  bool hadSaved_ = false;
  std::unique_ptr<XdgAutostartList> list_;
};

}  // namespace

TEST_F(RunEntryTest, WrittenModeReadsBackAndLandsInTheFirstConfigFolder) {
  ASSERT_TRUE(WriteRunEntry(*list_, StartMode::SysTray, "/opt/pyxtune/pyxtune"));
  EXPECT_NE(EntryText().find("\nExec=\"/opt/pyxtune/pyxtune\" SysTray\n"), std::string::npos)
      << EntryText();
  StartMode mode = StartMode::Unset;
  ASSERT_TRUE(ReadStartModeFromRunEntry(*list_, mode));
  EXPECT_EQ(mode, StartMode::SysTray);

  ASSERT_TRUE(WriteRunEntry(*list_, StartMode::Normal, "/opt/pyxtune/pyxtune"));
  ASSERT_TRUE(ReadStartModeFromRunEntry(*list_, mode));
  EXPECT_EQ(mode, StartMode::Normal);
}

TEST_F(RunEntryTest, PathWithBlanksIsQuotedAndStillReadsBack) {
  ASSERT_TRUE(WriteRunEntry(*list_, StartMode::SysTray, "/opt/My Programs/pyx tune"));
  std::string commandLine;
  ASSERT_EQ(list_->Read(kRunEntryName, commandLine), RunListStatus::Ok);
  EXPECT_EQ(commandLine, "\"/opt/My Programs/pyx tune\" SysTray");
  StartMode mode = StartMode::Unset;
  ASSERT_TRUE(ReadStartModeFromRunEntry(*list_, mode));
  EXPECT_EQ(mode, StartMode::SysTray);
}

TEST_F(RunEntryTest, ShellCharactersInThePathAreEscapedInsideTheQuotes) {
  EXPECT_EQ(RunEntryCommandLine(StartMode::Normal, "/a$b/c\"d`e\\f"),
            "\"/a\\$b/c\\\"d\\`e\\\\f\" Normal");
  ASSERT_TRUE(WriteRunEntry(*list_, StartMode::Normal, "/a$b/100%"));
  StartMode mode = StartMode::Unset;
  ASSERT_TRUE(ReadStartModeFromRunEntry(*list_, mode));
  EXPECT_EQ(mode, StartMode::Normal);
}

TEST_F(RunEntryTest, ModesWithoutANameWriteNothing) {
  for (StartMode mode : {StartMode::Unset, StartMode::DoNotRun, static_cast<StartMode>(7)}) {
    EXPECT_FALSE(WriteRunEntry(*list_, mode, "/p"));
  }
  EXPECT_FALSE(std::filesystem::exists(EntryFile()));
}

TEST_F(RunEntryTest, DeleteRemovesTheEntryAndTheModeIsKept) {
  ASSERT_TRUE(WriteRunEntry(*list_, StartMode::SysTray, "/p"));
  EXPECT_TRUE(DeleteRunEntry(*list_));
  EXPECT_FALSE(std::filesystem::exists(EntryFile()));
  StartMode mode = StartMode::DoNotRun;
  EXPECT_FALSE(ReadStartModeFromRunEntry(*list_, mode));
  EXPECT_EQ(mode, StartMode::DoNotRun) << "a failed read leaves the mode as it was";
  EXPECT_TRUE(DeleteRunEntry(*list_)) << "deleting again changes nothing and is no failure";
}

TEST_F(RunEntryTest, LastWordDecidesAndOddEntriesAreHandledAsBefore) {
  struct Case {
    std::string line;
    bool read;
    StartMode mode;
  };
  const Case cases[] = {
      {"/p sYsTrAy", true, StartMode::SysTray},
      {"/p Minimize", true, StartMode::Minimize},
      {"/p OnlyApplySettings", true, StartMode::OnlyApplySettings},
      {"/p Unknown", true, StartMode::Unset},
      {"/p ", true, StartMode::Unset},  // ends in a blank: an empty word
      {"/p/Normal/SysTray", false, StartMode::Normal},  // no blank at all
      {" SysTray", false, StartMode::Normal},  // the only blank is the first character
      {"/unquoted path/pyxtune SysTray", true, StartMode::SysTray},
  };
  for (const auto& c : cases) {
    Store(c.line);
    StartMode mode = StartMode::Normal;
    EXPECT_EQ(ReadStartModeFromRunEntry(*list_, mode), c.read) << c.line;
    EXPECT_EQ(mode, c.mode) << c.line;
  }
}

TEST_F(RunEntryTest, EntriesLongerThan512BytesAreNotRead) {
  // 255 characters and the terminating zero fill the 512 bytes exactly.
  const std::string fits = "/" + std::string(246, 'p') + " SysTray";
  ASSERT_EQ(fits.size(), 255u);
  Store(fits);
  StartMode mode = StartMode::Normal;
  EXPECT_TRUE(ReadStartModeFromRunEntry(*list_, mode));
  EXPECT_EQ(mode, StartMode::SysTray);

  Store("/" + fits);
  mode = StartMode::Normal;
  EXPECT_FALSE(ReadStartModeFromRunEntry(*list_, mode));
  EXPECT_EQ(mode, StartMode::Normal);

  // Length counts characters as the system stores them, not UTF-8 bytes.
  std::string accented = "/";
  for (int i = 0; i < 246; ++i) accented += "\xC3\xA9";  // é
  Store(accented + " SysTray");
  EXPECT_TRUE(ReadStartModeFromRunEntry(*list_, mode));
  std::string wide = "/";
  for (int i = 0; i < 124; ++i) wide += "\xF0\x9F\x98\x80";  // beyond the basic plane: 2 each
  Store(wide + " SysTray");
  EXPECT_FALSE(ReadStartModeFromRunEntry(*list_, mode));
}

TEST_F(RunEntryTest, MissingOrUnreadableEntryIsAQuietFailure) {
  StartMode mode = StartMode::SysTray;
  EXPECT_FALSE(ReadStartModeFromRunEntry(*list_, mode)) << "no entry";
  std::filesystem::create_directories(EntryFile());
  EXPECT_FALSE(ReadStartModeFromRunEntry(*list_, mode)) << "a folder where the entry should be";
  EXPECT_FALSE(WriteRunEntry(*list_, StartMode::Normal, "/p"));
  EXPECT_EQ(mode, StartMode::SysTray);

  FakeLogonRunList broken;
  broken.readsFail = true;
  broken.writesFail = true;
  EXPECT_FALSE(ReadStartModeFromRunEntry(broken, mode));
  EXPECT_FALSE(WriteRunEntry(broken, StartMode::SysTray, "/p"));
  EXPECT_FALSE(DeleteRunEntry(broken));
  EXPECT_EQ(mode, StartMode::SysTray);
}
