#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Builds a settings file in the text format that CIni reads (UTF-16LE, byte-order mark,
// CR LF after every line, "[Gpu%d]" sections, "key=value" lines) and writes it so that a
// crash or a full disk can never leave a half-written file behind.
//
// Which sections and keys go in, and in what order, is the caller's business.
class SettingsFileWriter {
public:
  SettingsFileWriter();  // the text starts as the byte-order mark alone
  // A text composed elsewhere (the service's), after its byte-order mark.
  explicit SettingsFileWriter(std::u16string_view text);

  // "[Gpu<gpuNumber>]"; the number is the GPU's index counted from 1.
  void AddSection(int gpuNumber);
  // "[<name>]", for a file whose sections are not GPUs.
  void AddSection(std::string_view name);

  // "<key>=<value>". Returns false and adds nothing when the line could not be read back as
  // written: a key that is empty, has blanks at either end, or holds '=', CR or LF, or a
  // value that holds CR or LF.
  bool AddText(std::string_view key, std::u16string_view value);
  bool AddText(std::string_view key, std::string_view utf8Value);

  // "<key>=<value>" in decimal, a minus sign for negative values, no blanks.
  bool AddNumber(std::string_view key, std::int64_t value);

  const std::u16string& Text() const { return text_; }

  // The text as it lies on disk: each code unit low byte first.
  std::vector<std::byte> Bytes() const;

  // Writes Bytes() to `path`. Returns false when the file could not be written; the old
  // file, if any, is then left exactly as it was.
  bool Save(const std::filesystem::path& path) const;

  // Replaces the file at `path` with `bytes` in one step (FileReplacement): on any failure
  // the old file is untouched and no new file is left behind.
  static bool ReplaceFileAtomically(const std::filesystem::path& path,
                                    std::span<const std::byte> bytes);

private:
  void AppendLine(std::string_view key, std::u16string_view value);

  std::u16string text_;
};
