#include "app/SettingsFileWriter.h"

#include <string>

#include "app/CIniText.h"
#include "platform/FileReplacement.h"

namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr std::u16string_view kLineEnd = u"\r\n";

bool KeyIsWritable(std::string_view key) {
  if (key.empty() || key.front() == ' ' || key.back() == ' ') return false;
  return key.find_first_of("=\r\n") == std::string_view::npos;
}

bool ValueIsWritable(std::u16string_view value) {
  return value.find_first_of(u"\r\n") == std::u16string_view::npos;
}

}  // namespace

SettingsFileWriter::SettingsFileWriter() : text_(1, kByteOrderMark) {}

SettingsFileWriter::SettingsFileWriter(std::u16string_view text) : SettingsFileWriter() { text_ += text; }

void SettingsFileWriter::AddSection(int gpuNumber) {
  text_ += u"[Gpu";
  text_ += CIniText::FromUtf8(std::to_string(gpuNumber));
  text_ += u"]";
  text_ += kLineEnd;
}

void SettingsFileWriter::AddSection(std::string_view name) {
  text_ += u"[";
  text_ += CIniText::FromUtf8(name);
  text_ += u"]";
  text_ += kLineEnd;
}

void SettingsFileWriter::AppendLine(std::string_view key, std::u16string_view value) {
  text_ += CIniText::FromUtf8(key);
  text_ += u'=';
  text_ += value;
  text_ += kLineEnd;
}

bool SettingsFileWriter::AddText(std::string_view key, std::u16string_view value) {
  if (!KeyIsWritable(key) || !ValueIsWritable(value)) return false;
  AppendLine(key, value);
  return true;
}

bool SettingsFileWriter::AddText(std::string_view key, std::string_view utf8Value) {
  return AddText(key, std::u16string_view(CIniText::FromUtf8(utf8Value)));
}

bool SettingsFileWriter::AddNumber(std::string_view key, std::int64_t value) {
  if (!KeyIsWritable(key)) return false;
  AppendLine(key, CIniText::FromUtf8(std::to_string(value)));
  return true;
}

std::vector<std::byte> SettingsFileWriter::Bytes() const {
  std::vector<std::byte> bytes;
  bytes.reserve(text_.size() * 2);
  for (const char16_t u : text_) {
    bytes.push_back(static_cast<std::byte>(u & 0xFF));
    bytes.push_back(static_cast<std::byte>(u >> 8));
  }
  return bytes;
}

bool SettingsFileWriter::Save(const std::filesystem::path& path) const {
  return ReplaceFileAtomically(path, Bytes());
}

bool SettingsFileWriter::ReplaceFileAtomically(const std::filesystem::path& path,
                                               std::span<const std::byte> bytes) {
  const auto replacement = FileReplacement::Begin(path);
  return replacement && replacement->Commit(bytes);
}
