#include "app/SettingsFileWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/CIni.h"
#include "platform/FileReplacement.h"
#include "tests/app/CIniTestFiles.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// A process that does nothing (the command interpreter, never let run) and ends when told,
// to stand for the writer of a leftover temporary file.
class IdleProcess {
 public:
  IdleProcess() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    wchar_t line[] = L"cmd.exe";
    started_ = CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                              nullptr, nullptr, &startup, &info_) != FALSE;
  }
  ~IdleProcess() {
    if (!started_) return;
    End();
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  IdleProcess(const IdleProcess&) = delete;
  IdleProcess& operator=(const IdleProcess&) = delete;

  bool Started() const { return started_; }
  unsigned long Id() const { return info_.dwProcessId; }
  // Its id stays taken while this object holds the handle.
  void End() {
    TerminateProcess(info_.hProcess, 0);
    WaitForSingleObject(info_.hProcess, 10000);
  }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};
#endif

std::vector<std::byte> Bytes(std::initializer_list<int> values) {
  std::vector<std::byte> bytes;
  for (const int v : values) bytes.push_back(static_cast<std::byte>(v));
  return bytes;
}

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) files.push_back(entry.path());
  return files;
}

TEST(SettingsFileWriterTest, WithNoSectionsTheFileIsTheByteOrderMarkAlone) {
  const SettingsFileWriter writer;
  EXPECT_EQ(writer.Bytes(), Bytes({0xFF, 0xFE}));
}

TEST(SettingsFileWriterTest, LinesAreWrittenExactly) {
  SettingsFileWriter writer;
  writer.AddSection(1);
  EXPECT_TRUE(writer.AddText("Id", "10DE2684"));
  EXPECT_TRUE(writer.AddNumber("DyaGpuClock", -150));
  EXPECT_TRUE(writer.AddNumber("LED_R_CR", 255));
  writer.AddSection(12);
  EXPECT_TRUE(writer.AddText("Id", u""));
  EXPECT_TRUE(writer.AddNumber("GpuVF", 0));
  const std::u16string expected =
      u"\xFEFF[Gpu1]\r\nId=10DE2684\r\nDyaGpuClock=-150\r\nLED_R_CR=255\r\n"
      u"[Gpu12]\r\nId=\r\nGpuVF=0\r\n";
  EXPECT_EQ(writer.Text(), expected);
  EXPECT_EQ(writer.Bytes(), CIniTestFolder::Utf16Le(expected));
  // Low byte first, whatever the machine's own order.
  const auto bytes = writer.Bytes();
  EXPECT_EQ(bytes[2], std::byte{'['});
  EXPECT_EQ(bytes[3], std::byte{0});
}

TEST(SettingsFileWriterTest, LinesThatWouldNotReadBackAreRefused) {
  SettingsFileWriter writer;
  writer.AddSection(1);
  const std::u16string before = writer.Text();
  EXPECT_FALSE(writer.AddNumber("", 1));
  EXPECT_FALSE(writer.AddNumber("A=B", 1));
  EXPECT_FALSE(writer.AddNumber(" A", 1));
  EXPECT_FALSE(writer.AddNumber("A ", 1));
  EXPECT_FALSE(writer.AddNumber("A\nB", 1));
  EXPECT_FALSE(writer.AddText("Id", "10DE\r\n[Gpu2]"));
  EXPECT_FALSE(writer.AddText("Id", u"x\r"));
  EXPECT_EQ(writer.Text(), before);
  // A value may hold '=', brackets and blanks: the reader keeps them.
  EXPECT_TRUE(writer.AddText("Id", " a=[b] "));
}

TEST(SettingsFileWriterTest, WhatIsSavedLoadsBackUnchanged) {
  CIniTestFolder folder;
  SettingsFileWriter writer;
  writer.AddSection(1);
  writer.AddText("Id", "10DE2684 \xC3\xA9");
  writer.AddNumber("FanSpeed", 40);
  writer.AddText("Note", " a=[b] ");
  writer.AddSection(2);
  writer.AddNumber("MemVF", -2147483648LL);
  const auto file = folder.Path() / "Preformance.txt";
  ASSERT_TRUE(writer.Save(file));
  EXPECT_EQ(CIniTestFolder::ReadBytes(file), writer.Bytes());

  CIni ini;
  ASSERT_TRUE(ini.Load(file));
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  EXPECT_EQ(ini.ReadText(gpu1, "Id"), u"10DE2684 \u00E9");
  EXPECT_EQ(ini.ReadInt(gpu1, "FanSpeed"), 40);
  EXPECT_EQ(ini.ReadText(gpu1, "Note"), u" a=[b] ");
  EXPECT_EQ(ini.ReadInt(ini.FindChild(ini.Root(), "Gpu2"), "MemVF"), -2147483647 - 1);
}

TEST(SettingsFileWriterTest, SaveReplacesTheOldFileAndLeavesNothingBehind) {
  CIniTestFolder folder;
  const auto file = folder.WriteBytes("Preformance.txt", std::vector<std::byte>(5000, std::byte{'x'}));
  std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read);
  SettingsFileWriter writer;
  writer.AddSection(1);
  ASSERT_TRUE(writer.Save(file));
  EXPECT_EQ(CIniTestFolder::ReadBytes(file), writer.Bytes());
  EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::filesystem::path>{file});
#ifndef _WIN32  // Windows has no such bits; its files take their rights from the folder
  // The settings keep who may read them.
  EXPECT_EQ(std::filesystem::status(file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);
#endif

  // A file that did not exist is created.
  const auto fresh = folder.Path() / "Led.txt";
  ASSERT_TRUE(SettingsFileWriter().Save(fresh));
  EXPECT_EQ(CIniTestFolder::ReadBytes(fresh), Bytes({0xFF, 0xFE}));
}

TEST(SettingsFileWriterTest, AFailedSaveKeepsTheOldFile) {
  CIniTestFolder folder;
  SettingsFileWriter writer;
  writer.AddSection(1);
  writer.AddNumber("FanSpeed", 40);

  EXPECT_FALSE(writer.Save(folder.Path() / "no-such-folder" / "Preformance.txt"));
  EXPECT_FALSE(writer.Save(""));

  // A folder in the file's place stays a folder, with its content.
  const auto blocked = folder.Path() / "Blocked.txt";
  std::filesystem::create_directory(blocked);
  folder.WriteBytes("Blocked.txt/inside", Bytes({1, 2, 3}));
  EXPECT_FALSE(writer.Save(blocked));
  EXPECT_TRUE(std::filesystem::is_directory(blocked));
  EXPECT_EQ(CIniTestFolder::ReadBytes(blocked / "inside"), Bytes({1, 2, 3}));
  EXPECT_EQ(FilesIn(folder.Path()).size(), 1u);
}

// A save killed before its rename leaves its temporary file behind. The next save of the same
// target removes such files once their process has ended, and nothing else.
TEST(SettingsFileWriterTest, ASaveRemovesTheTemporaryFilesOfEndedSavesOfItsTarget) {
  CIniTestFolder folder;
  const auto file = folder.WriteBytes("Preformance.txt", Bytes({0xFF, 0xFE}));
#ifdef _WIN32
  IdleProcess endedWriter, runningWriter;
  ASSERT_TRUE(endedWriter.Started() && runningWriter.Started());
  endedWriter.End();
  const auto ended = endedWriter.Id();
  const auto running = runningWriter.Id();
#else
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const auto ended = static_cast<unsigned long>(child);
  const auto running = static_cast<unsigned long>(getppid());
#endif

  const auto stale = FileReplacement::TemporaryPathFor(file, ended, 3);
  const auto staleOldForm = folder.Path() / ("Preformance.txt.tmp-" + std::to_string(ended) + "-0-98765");
  const auto stillWritten = FileReplacement::TemporaryPathFor(file, running, 0);
  const auto otherTarget = FileReplacement::TemporaryPathFor(folder.Path() / "Led.txt", ended, 0);
  const auto notOurs = folder.Path() / "Preformance.txt.tmp-notes";
  for (const auto& path : {stale, staleOldForm, stillWritten, otherTarget, notOurs})
    std::ofstream(path) << "left";

  SettingsFileWriter writer;
  writer.AddSection(1);
  ASSERT_TRUE(writer.Save(file));
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_FALSE(std::filesystem::exists(staleOldForm));
  EXPECT_TRUE(std::filesystem::exists(stillWritten));
  EXPECT_TRUE(std::filesystem::exists(otherTarget));
  EXPECT_TRUE(std::filesystem::exists(notOurs));
  EXPECT_EQ(FilesIn(folder.Path()).size(), 4u);
}

#ifndef _WIN32  // RLIMIT_FSIZE stands in for a full disk; Windows has no such limit
// The disk fills up while the new text is written: the write fails part-way, and the save
// must report it and leave the previous file byte for byte.
TEST(SettingsFileWriterTest, AWriteThatFailsPartWayKeepsTheOldFile) {
  CIniTestFolder folder;
  const auto oldBytes = CIniTestFolder::Utf16Le(u"\xFEFF[Gpu1]\r\nFanSpeed=55\r\n");
  const auto file = folder.WriteBytes("Preformance.txt", oldBytes);

  SettingsFileWriter writer;
  for (int gpu = 1; gpu <= 5; ++gpu) {
    writer.AddSection(gpu);
    for (int k = 0; k < 200; ++k) writer.AddNumber("Key" + std::to_string(k), k);
  }
  ASSERT_GT(writer.Bytes().size(), 4096u);

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved_ok = writer.Save(file);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(saved_ok);
  EXPECT_EQ(CIniTestFolder::ReadBytes(file), oldBytes);
  EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::filesystem::path>{file});
}
#endif

}  // namespace
