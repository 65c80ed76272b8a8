// The run entry through the program's own helpers on the real registry and Task Scheduler,
// under Wine or Windows (administrator rights needed).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/RunEntry.h"
#include "platform/SystemPlatform.h"
#include "platform/windows/ScheduledLogonTask.h"

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\windows\\CurrentVersion\\Run";

// The value as the registry holds it, and its type; empty type when there is none.
struct RawValue {
  DWORD type = REG_NONE;
  std::wstring text;
};

RawValue ReadRaw() {
  RawValue value;
  wchar_t buffer[1024] = {};
  DWORD bytes = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Pyxtune", RRF_RT_ANY | RRF_NOEXPAND, &value.type, buffer,
                   &bytes) != ERROR_SUCCESS) {
    value.type = REG_NONE;
    return value;
  }
  value.text = buffer;
  return value;
}

class RunEntryRegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { DeleteRunEntry(*list_); }
  std::unique_ptr<LogonRunList> list_ = CreateSystemLogonRunList();
};

}  // namespace

TEST_F(RunEntryRegistryTest, PathWithBlanksIsQuotedReadBackAndRemovedWithItsTask) {
  ASSERT_TRUE(WriteRunEntry(*list_, StartMode::SysTray, L"C:\\Program Files\\Pyx tune\\pyxtune.exe"));
  const RawValue raw = ReadRaw();
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw.text, L"\"C:\\Program Files\\Pyx tune\\pyxtune.exe\" SysTray");
  EXPECT_TRUE(ScheduledLogonTask::Exists("Pyxtune")) << "the elevated start at log-on";

  StartMode mode = StartMode::Unset;
  ASSERT_TRUE(ReadStartModeFromRunEntry(*list_, mode));
  EXPECT_EQ(mode, StartMode::SysTray);
  ASSERT_TRUE(WriteRunEntry(*list_, StartMode::Normal, L"C:\\Program Files\\Pyx tune\\pyxtune.exe"));
  ASSERT_TRUE(ReadStartModeFromRunEntry(*list_, mode));
  EXPECT_EQ(mode, StartMode::Normal) << "written again: replaced";

  EXPECT_TRUE(DeleteRunEntry(*list_));
  EXPECT_EQ(ReadRaw().type, static_cast<DWORD>(REG_NONE));
  EXPECT_FALSE(ScheduledLogonTask::Exists("Pyxtune"));
  mode = StartMode::DoNotRun;
  EXPECT_FALSE(ReadStartModeFromRunEntry(*list_, mode));
  EXPECT_EQ(mode, StartMode::DoNotRun);
  EXPECT_TRUE(DeleteRunEntry(*list_)) << "nothing left to delete is no failure";
}

TEST_F(RunEntryRegistryTest, PercentSignsInThePathAreStoredLiterally) {
  // A REG_SZ value is never expanded, so %PATH% stays the folder's own name.
  const wchar_t* program = L"C:\\100% sure\\%PATH%\\pyxtune.exe";
  ASSERT_TRUE(WriteRunEntry(*list_, StartMode::Normal, program));
  const RawValue raw = ReadRaw();
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw.text, std::wstring(L"\"") + program + L"\" Normal");
  std::string commandLine;
  ASSERT_EQ(list_->Read(kRunEntryName, commandLine), RunListStatus::Ok);
  EXPECT_EQ(commandLine, "\"C:\\100% sure\\%PATH%\\pyxtune.exe\" Normal");
  StartMode mode = StartMode::Unset;
  ASSERT_TRUE(ReadStartModeFromRunEntry(*list_, mode));
  EXPECT_EQ(mode, StartMode::Normal);
}
