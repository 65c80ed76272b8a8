#include "platform/LogonTaskDefinition.h"

#include <gtest/gtest.h>

TEST(LogonTaskDefinition, TakesProgramAndArgumentsFromTheRunCommandLine) {
  struct Case {
    const char* line;
    const char* program;
    const char* arguments;
  };
  const Case cases[] = {
      {"\"C:\\Program Files\\Pyx tune\\pyxtune.exe\" SysTray", "C:\\Program Files\\Pyx tune\\pyxtune.exe", "SysTray"},
      {"\"C:\\p.exe\"", "C:\\p.exe", ""},
      // Written unquoted by an older version: the mode is the last word.
      {"C:\\Program Files\\Pyx\\pyxtune.exe Normal", "C:\\Program Files\\Pyx\\pyxtune.exe", "Normal"},
      {"C:\\p.exe", "C:\\p.exe", ""},
      {"\"C:\\unterminated", "C:\\unterminated", ""},
  };
  for (const Case& c : cases) {
    const LogonTaskDefinition task = LogonTaskDefinition::FromCommandLine(c.line);
    EXPECT_EQ(task.program(), c.program) << c.line;
    EXPECT_EQ(task.arguments(), c.arguments) << c.line;
  }
}

TEST(LogonTaskDefinition, XmlStartsTheProgramElevatedAtLogOnWithMarkupInThePathEscaped) {
  const std::string xml = LogonTaskDefinition("C:\\R&D <tools>\\pyxtune.exe", "SysTray").Xml();
  EXPECT_NE(xml.find("<Command>C:\\R&amp;D &lt;tools&gt;\\pyxtune.exe</Command>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<Arguments>SysTray</Arguments>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<LogonTrigger>"), std::string::npos);
  EXPECT_NE(xml.find("<RunLevel>HighestAvailable</RunLevel>"), std::string::npos);
  EXPECT_NE(xml.find("<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>"), std::string::npos) << "never stopped";
  EXPECT_EQ(LogonTaskDefinition("C:\\p.exe", "").Xml().find("<Arguments>"), std::string::npos);
}
