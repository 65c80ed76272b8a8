#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/LogonRunList.h"

// The machine's XDG autostart folder: one "<name>.desktop" file per entry, whose Exec line is
// the entry's command line.
class XdgAutostartList : public LogonRunList {
 public:
  // "autostart" in the first absolute folder of $XDG_CONFIG_DIRS, else /etc/xdg/autostart.
  static std::filesystem::path DefaultFolder();

  explicit XdgAutostartList(std::filesystem::path folder = DefaultFolder());

  RunListStatus Read(std::string_view name, std::string& commandLine) override;
  bool Write(std::string_view name, std::string_view commandLine) override;
  bool Remove(std::string_view name) override;

  const std::filesystem::path& folder() const { return folder_; }
  // Empty for a name that cannot be a file name of its own.
  std::filesystem::path EntryFile(std::string_view name) const;

  // The command line as an Exec value of a desktop file, and back.
  static std::string EncodeExec(std::string_view commandLine);
  static std::string DecodeExec(std::string_view value);

 private:
  std::filesystem::path folder_;
};
