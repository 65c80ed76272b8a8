#include "app/StartMode.h"

#include <gtest/gtest.h>

TEST(StartMode, NamesMatchTheWholeTextInAnyLetterCase) {
  EXPECT_EQ(StartModeFromName("Normal"), StartMode::Normal);
  EXPECT_EQ(StartModeFromName("MINIMIZE"), StartMode::Minimize);
  EXPECT_EQ(StartModeFromName("SysTray"), StartMode::SysTray);
  EXPECT_EQ(StartModeFromName("systray"), StartMode::SysTray);
  EXPECT_EQ(StartModeFromName("sYsTrAy"), StartMode::SysTray);
  EXPECT_EQ(StartModeFromName("onlyapplysettings"), StartMode::OnlyApplySettings);
}

TEST(StartMode, NothingIsTrimmedOrSplit) {
  for (const char* text : {"", "SysTray ", " SysTray", "/SysTray", "-SysTray", "Sys Tray",
                           "SysTrayX", "SysTra", "\"SysTray\"", "DoNotRun", "Unset"}) {
    EXPECT_EQ(StartModeFromName(text), StartMode::Unset) << '"' << text << '"';
    EXPECT_EQ(StartModeFromCommandLine(text), StartMode::Unset) << '"' << text << '"';
  }
  EXPECT_EQ(StartModeFromName(std::string_view("SysTray\0", 8)), StartMode::Unset);
}

TEST(StartMode, NameTableHasFourRowsAndNoNameForDoNotRun) {
  EXPECT_EQ(StartModeToName(StartMode::Normal), "Normal");
  EXPECT_EQ(StartModeToName(StartMode::SysTray), "SysTray");
  EXPECT_EQ(StartModeToName(StartMode::DoNotRun), "");
  EXPECT_EQ(StartModeToName(StartMode::Unset), "");
  EXPECT_EQ(StartModeToName(static_cast<StartMode>(9)), "");
  for (const auto& row : kStartModeNames) {
    EXPECT_EQ(StartModeFromName(row.name), row.mode);
    EXPECT_EQ(StartModeToName(row.mode), row.name);
  }
  EXPECT_EQ(static_cast<unsigned>(StartMode::SysTray), 4u);
  EXPECT_EQ(static_cast<unsigned>(StartMode::OnlyApplySettings), 5u);
}

TEST(StartMode, CommandLineTailIsEveryArgumentAfterTheProgram) {
  const char* none[] = {"pyxtune"};
  EXPECT_EQ(CommandLineTail(1, none), "");
  EXPECT_EQ(StartModeFromCommandLine(CommandLineTail(1, none)), StartMode::Unset);

  const char* one[] = {"pyxtune", "SYSTRAY"};
  EXPECT_EQ(StartModeFromCommandLine(CommandLineTail(2, one)), StartMode::SysTray);

  const char* two[] = {"pyxtune", "SysTray", "Normal"};
  EXPECT_EQ(CommandLineTail(3, two), "SysTray Normal");
  EXPECT_EQ(StartModeFromCommandLine(CommandLineTail(3, two)), StartMode::Unset);

  const char* blank[] = {"pyxtune", "SysTray "};
  EXPECT_EQ(StartModeFromCommandLine(CommandLineTail(2, blank)), StartMode::Unset);
}
