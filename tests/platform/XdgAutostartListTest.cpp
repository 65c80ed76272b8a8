#include "platform/linux/XdgAutostartList.h"
#include "tests/support/FileText.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

namespace {

class XdgAutostartListTest : public ::testing::Test {
 protected:
  const pyx::test::TempFolder folder_{"pyx-xdg-"};
  const std::filesystem::path root_ = folder_.Path();
};

}  // namespace

TEST_F(XdgAutostartListTest, FolderIsTheFirstAbsoluteConfigFolder) {
  const char* saved = getenv("XDG_CONFIG_DIRS");
  const std::string keep = saved ? saved : "";
  setenv("XDG_CONFIG_DIRS", "/a/b:/c", 1);
  EXPECT_EQ(XdgAutostartList::DefaultFolder(), "/a/b/autostart");
  setenv("XDG_CONFIG_DIRS", "relative/x::/d", 1);
  EXPECT_EQ(XdgAutostartList::DefaultFolder(), "/d/autostart");
  setenv("XDG_CONFIG_DIRS", "", 1);
  EXPECT_EQ(XdgAutostartList::DefaultFolder(), "/etc/xdg/autostart");
  unsetenv("XDG_CONFIG_DIRS");
  EXPECT_EQ(XdgAutostartList::DefaultFolder(), "/etc/xdg/autostart");
  if (saved) setenv("XDG_CONFIG_DIRS", keep.c_str(), 1);
}

TEST_F(XdgAutostartListTest, WriteCreatesTheFolderAndAnEntryWithTheCommandLine) {
  XdgAutostartList list(root_ / "autostart");
  ASSERT_TRUE(list.Write("Pyxtune", "\"/opt/pyx tune/pyxtune\" SysTray"));
  const std::string text = pyx::test::FileText(root_ / "autostart" / "Pyxtune.desktop");
  EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(text.find("Type=Application\n"), std::string::npos);
  EXPECT_NE(text.find("\nExec=\"/opt/pyx tune/pyxtune\" SysTray\n"), std::string::npos) << text;
  EXPECT_FALSE(std::filesystem::exists(root_ / "autostart" / "Pyxtune.desktop.new"));

  std::string read;
  ASSERT_EQ(list.Read("Pyxtune", read), RunListStatus::Ok);
  EXPECT_EQ(read, "\"/opt/pyx tune/pyxtune\" SysTray");

  ASSERT_TRUE(list.Write("Pyxtune", "\"/x\" Normal"));
  ASSERT_EQ(list.Read("Pyxtune", read), RunListStatus::Ok);
  EXPECT_EQ(read, "\"/x\" Normal") << "a second write replaces the first";
}

TEST_F(XdgAutostartListTest, CharactersWithMeaningInDesktopFilesSurviveTheRoundTrip) {
  XdgAutostartList list(root_);
  for (const std::string line :
       {" leading blank", "trailing blank ", "100%d \"C:\\\\x\\\\\" $HOME", "tab\there", "two\nlines", "%%"}) {
    ASSERT_TRUE(list.Write("Pyxtune", line));
    std::string read;
    ASSERT_EQ(list.Read("Pyxtune", read), RunListStatus::Ok);
    EXPECT_EQ(read, line);
  }
  EXPECT_EQ(XdgAutostartList::EncodeExec("a%b"), "a%%b") << "a lone % is a field code";
  EXPECT_EQ(XdgAutostartList::EncodeExec("a\\b"), "a\\\\b");
}

TEST_F(XdgAutostartListTest, EntriesWrittenByOthersAreReadAsTheRulesSay) {
  XdgAutostartList list(root_);
  std::string read = "untouched";
  std::ofstream(root_ / "Pyxtune.desktop")
      << "# comment\n[Other]\nExec=wrong\n[Desktop Entry]\nName=Pyxtune\n"
         "Exec[de]=localised\n  Exec = \"/p\" Minimize  \n";
  ASSERT_EQ(list.Read("Pyxtune", read), RunListStatus::Ok);
  EXPECT_EQ(read, "\"/p\" Minimize");

  std::ofstream(root_ / "Pyxtune.desktop") << "[Desktop Entry]\nExec=/p Normal\nHidden=true\n";
  EXPECT_EQ(list.Read("Pyxtune", read), RunListStatus::NotFound) << "hidden means removed";

  std::ofstream(root_ / "Pyxtune.desktop") << "[Desktop Entry]\nName=Pyxtune\n";
  EXPECT_EQ(list.Read("Pyxtune", read), RunListStatus::Failed);
  EXPECT_EQ(read, "\"/p\" Minimize");
}

TEST_F(XdgAutostartListTest, MissingUnreadableAndOversizedEntriesFailQuietly) {
  XdgAutostartList list(root_ / "autostart");
  std::string read;
  EXPECT_EQ(list.Read("Pyxtune", read), RunListStatus::NotFound) << "no folder yet";
  EXPECT_TRUE(list.Remove("Pyxtune")) << "nothing to remove is no failure";

  std::filesystem::create_directories(root_ / "autostart" / "Pyxtune.desktop");
  EXPECT_EQ(list.Read("Pyxtune", read), RunListStatus::Failed) << "a folder in the entry's place";
  EXPECT_FALSE(list.Write("Pyxtune", "x Normal"));
  std::filesystem::remove(root_ / "autostart" / "Pyxtune.desktop");

  std::ofstream(root_ / "autostart" / "Pyxtune.desktop")
      << "[Desktop Entry]\nExec=" << std::string(70000, 'x') << " SysTray\n";
  EXPECT_EQ(list.Read("Pyxtune", read), RunListStatus::Failed);
}

TEST_F(XdgAutostartListTest, UnwritableFolderAndUnsafeNamesAreRefused) {
  std::ofstream(root_ / "file") << "x";
  XdgAutostartList blocked(root_ / "file" / "autostart");
  EXPECT_FALSE(blocked.Write("Pyxtune", "x Normal"));

  XdgAutostartList list(root_);
  std::string read;
  for (const char* name : {"", "..", "../escape", "a/b"}) {
    EXPECT_FALSE(list.Write(name, "x Normal")) << name;
    EXPECT_EQ(list.Read(name, read), RunListStatus::Failed) << name;
    EXPECT_FALSE(list.Remove(name)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(root_.parent_path() / "escape.desktop"));
}

TEST_F(XdgAutostartListTest, RemoveDeletesOnlyTheNamedEntry) {
  XdgAutostartList list(root_);
  ASSERT_TRUE(list.Write("Pyxtune", "\"/p\" Normal"));
  ASSERT_TRUE(list.Write("Other", "other"));
  EXPECT_TRUE(list.Remove("Pyxtune"));
  std::string read;
  EXPECT_EQ(list.Read("Pyxtune", read), RunListStatus::NotFound);
  EXPECT_EQ(list.Read("Other", read), RunListStatus::Ok);
}
