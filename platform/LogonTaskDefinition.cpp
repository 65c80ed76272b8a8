#include "platform/LogonTaskDefinition.h"

#include <utility>

namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

LogonTaskDefinition::LogonTaskDefinition(std::string program, std::string arguments)
    : program_(std::move(program)), arguments_(std::move(arguments)) {}

LogonTaskDefinition LogonTaskDefinition::FromCommandLine(std::string_view commandLine) {
  std::size_t end;
  std::string program;
  if (commandLine.starts_with('"')) {
    end = commandLine.find('"', 1);
    if (end == std::string_view::npos) return {std::string(commandLine.substr(1)), {}};
    program = commandLine.substr(1, end - 1);
    ++end;
  } else {
    end = commandLine.rfind(' ');
    if (end == std::string_view::npos) return {std::string(commandLine), {}};
    program = commandLine.substr(0, end);
  }
  std::string_view rest = commandLine.substr(end);
  if (rest.starts_with(' ')) rest.remove_prefix(1);
  return {std::move(program), std::string(rest)};
}

std::string LogonTaskDefinition::Xml() const {
  // The group "Users" (S-1-5-32-545): the task runs for whoever logs on, as the Run key does;
  // "HighestAvailable" gives an administrator the elevated rights without a prompt.
  // No time limit, no battery rule: the program runs as long as the session.
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
      "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
      "  <RegistrationInfo>\n"
      "    <Description>Starts Pyxtune when a user logs on.</Description>\n"
      "  </RegistrationInfo>\n"
      "  <Triggers>\n"
      "    <LogonTrigger>\n"
      "      <Enabled>true</Enabled>\n"
      "    </LogonTrigger>\n"
      "  </Triggers>\n"
      "  <Principals>\n"
      "    <Principal id=\"Users\">\n"
      "      <GroupId>S-1-5-32-545</GroupId>\n"
      "      <RunLevel>HighestAvailable</RunLevel>\n"
      "    </Principal>\n"
      "  </Principals>\n"
      "  <Settings>\n"
      "    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\n"
      "    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\n"
      "    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\n"
      "    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>\n"
      "    <Enabled>true</Enabled>\n"
      "  </Settings>\n"
      "  <Actions Context=\"Users\">\n"
      "    <Exec>\n"
      "      <Command>" + Escaped(program_) + "</Command>\n";
  if (!arguments_.empty()) xml += "      <Arguments>" + Escaped(arguments_) + "</Arguments>\n";
  xml +=
      "    </Exec>\n"
      "  </Actions>\n"
      "</Task>\n";
  return xml;
}
