#include "app/CIni.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>
#include <system_error>
#include <vector>

#include "app/CIniText.h"

namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr const char* kTooLargeText = "is larger than 1 MiB, far more than any settings file of this program";
constexpr const char* kOutOfMemoryText = "is too large to read into memory";
constexpr char16_t kBlank = u' ';

enum class ParseState { BetweenLines, InHeader, InKey, InValue };

}  // namespace

CIni::CIni(bool caseSensitive, bool trimNames)
    : caseSensitive_(caseSensitive), trimNames_(trimNames) {}

CIni::~CIni() { Release(); }

void CIni::Release() {
  tree_.Clear();
  std::u16string().swap(buffer_);
  loaded_ = false;
  failure_ = LoadFailure::None;
  failureText_.clear();
}

bool CIni::Fail(LoadFailure failure, std::string text) {
  Release();
  failure_ = failure;
  failureText_ = std::move(text);
  return false;
}

bool CIni::Load(const std::filesystem::path& path) {
  Release();
  std::error_code ec;
  // Only a regular file: a FIFO or device would block or never end.
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found)
    return Fail(LoadFailure::NotAFile, "does not exist");
  if (ec) return Fail(LoadFailure::ReadError, "cannot be read: " + ec.message());
  if (!std::filesystem::is_regular_file(status)) return Fail(LoadFailure::NotAFile, "is not a regular file");
  const std::uintmax_t sizeBytes = std::filesystem::file_size(path, ec);
  if (ec) return Fail(LoadFailure::ReadError, "cannot be read: " + ec.message());
  if (sizeBytes > kMaxFileBytes) return Fail(LoadFailure::TooLarge, kTooLargeText);

  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(LoadFailure::ReadError, "cannot be opened");
  std::vector<std::byte> bytes;
  try {
    bytes.resize(static_cast<std::size_t>(sizeBytes));
  } catch (const std::bad_alloc&) {
    return Fail(LoadFailure::OutOfMemory, kOutOfMemoryText);
  }
  // One read; a file that shrank since its size was taken is a short read and fails.
  const auto bytesWanted = static_cast<std::streamsize>(bytes.size());
  in.read(reinterpret_cast<char*>(bytes.data()), bytesWanted);
  if (in.gcount() != bytesWanted) return Fail(LoadFailure::ReadError, "changed while it was read");
  return LoadBytes(bytes);
}

bool CIni::LoadBytes(std::span<const std::byte> bytes) {
  Release();
  if (bytes.size() > kMaxFileBytes) return Fail(LoadFailure::TooLarge, kTooLargeText);
  try {
    inputBytes_ = bytes.size();
    overBudget_ = false;
    if (!Decode(bytes)) return false;
    if (!Parse()) {
      if (overBudget_) return Fail(LoadFailure::TooLarge, "holds far more lines than any settings file of this program");
      return Fail(LoadFailure::Malformed, "could not be parsed");
    }
  } catch (const std::bad_alloc&) {
    return Fail(LoadFailure::OutOfMemory, kOutOfMemoryText);
  }
  loaded_ = true;
  return true;
}

// The program writes UTF-16LE with its mark; an editor or iconv may have made it UTF-8. Without
// a mark the content tells: every header, key and line end of this format is ASCII, which
// UTF-16LE writes with a NUL beside it and UTF-8 never holds.
bool CIni::Decode(std::span<const std::byte> bytes) {
  const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const bool utf8Mark = raw.starts_with(kUtf8Mark);
  const bool utf16 = raw.starts_with(kUtf16LeMark) || (!utf8Mark && raw.find('\0') != std::string_view::npos);
  if (utf16) {
    // A trailing odd byte is half a unit and is dropped.
    buffer_.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < buffer_.size(); ++i) {
      buffer_[i] = static_cast<char16_t>(std::to_integer<unsigned>(bytes[2 * i]) |
                                         (std::to_integer<unsigned>(bytes[2 * i + 1]) << 8));
    }
    return true;
  }
  // The UTF-8 mark decodes to U+FEFF, the same leading mark the parser knows from UTF-16.
  if (const std::optional<std::size_t> bad = CIniText::FromUtf8Strict(raw, buffer_)) {
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", std::to_integer<unsigned>(bytes[*bad]));
    const std::string what = utf8Mark ? "is not valid UTF-8 text" : "is not valid UTF-8 or UTF-16LE text";
    return Fail(LoadFailure::NotText, what + ": the byte at offset " + std::to_string(*bad) + " (" +
                                          byte + ") begins no UTF-8 character");
  }
  return true;
}

// One pass; each code unit either moves the state or closes a node. Sections and keys are
// appended at remembered tails so that a file of many keys parses in linear time.
bool CIni::Parse() {
  // UTF-8 text may give one code unit per byte.
  static_assert(kMaxFileBytes < static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max()),
                "every buffer index must fit a TextRange");
  CTreeNode* root = tree_.Root();
  CTreeNode* lastSection = nullptr;
  CTreeNode* lastKey = nullptr;  // last key of the current section (the current key)
  ParseState state = ParseState::BetweenLines;
  std::int32_t sectionStart = 0;
  std::int32_t keyStart = 0;
  std::int32_t valueStart = 0;

  // The tree may take what ten times the file's size leaves beside the text (with a floor for
  // small files): a file of nothing but headers or empty keys is no settings file, and must
  // not take many times its size in memory to find that out.
  const std::size_t budgetBytes = std::max<std::size_t>(10 * inputBytes_, 64 * 1024);
  const std::size_t textBytes = buffer_.capacity() * sizeof(char16_t);
  const std::size_t maxNodes = budgetBytes > textBytes ? (budgetBytes - textBytes) / sizeof(CTreeNode) : 0;
  const auto roomForNode = [&] {
    if (tree_.NodeCount() < maxNodes) return true;
    overBudget_ = true;
    return false;
  };

  const auto count = static_cast<std::int32_t>(buffer_.size());
  for (std::int32_t i = 0; i < count; ++i) {
    const char16_t u = buffer_[static_cast<std::size_t>(i)];
    switch (u) {
      case u'[':
        if (state == ParseState::BetweenLines || state == ParseState::InHeader) {
          state = ParseState::InHeader;
          sectionStart = i + 1;
        }
        break;
      case u']':
        if (state == ParseState::InHeader) {
          TextRange name{sectionStart, i - 1};
          Trim(name);
          if (!roomForNode()) return false;
          CTreeNode* section = tree_.NewNode(name);
          (lastSection ? lastSection->next : root->child) = section;
          lastSection = section;
          lastKey = nullptr;
          state = ParseState::BetweenLines;
        }
        break;
      case u'=':
        if (state == ParseState::InKey && lastSection) {
          TextRange name{keyStart, i - 1};
          Trim(name);
          if (!roomForNode()) return false;
          CTreeNode* key = tree_.NewNode(name);
          (lastKey ? lastKey->next : lastSection->child) = key;
          lastKey = key;
          state = ParseState::InValue;
          valueStart = i + 1;
        }
        break;
      case u'\r':
      case u'\n':
        if (state == ParseState::InValue && lastKey) {
          // A key is only ever given one value; a second would mean the state machine
          // lost track of a line, and the file is refused rather than misread.
          if (lastKey->child || !roomForNode()) return false;
          lastKey->child = tree_.NewNode(TextRange{valueStart, i - 1});
        }
        state = ParseState::BetweenLines;
        break;
      case kByteOrderMark:
        // Only a leading mark is the file's; a later one starts nothing and ends nothing.
        if (i == 0) state = ParseState::BetweenLines;
        break;
      default:
        if (state == ParseState::BetweenLines) {
          state = ParseState::InKey;
          keyStart = i;
        }
        break;
    }
  }
  // A value without a line end after it is not created: its key has no value.
  return true;
}

void CIni::Trim(TextRange& range) const {
  if (!trimNames_) return;
  TextRange t = range;
  while (t.start <= t.end && buffer_[static_cast<std::size_t>(t.start)] == kBlank) ++t.start;
  while (t.end >= t.start && buffer_[static_cast<std::size_t>(t.end)] == kBlank) --t.end;
  // An empty or all-blank name keeps its range as written.
  if (!t.IsEmpty()) range = t;
}

std::u16string_view CIni::View(const TextRange& range) const {
  if (range.start < 0 || range.IsEmpty()) return {};
  return std::u16string_view(buffer_).substr(static_cast<std::size_t>(range.start),
                                             static_cast<std::size_t>(range.Length()));
}

const CTreeNode* CIni::FindChild(const CTreeNode* node, std::u16string_view name) const {
  if (!node || !loaded_) return nullptr;
  // The whole stored name must match: a bare prefix test would take "[Gpu12]" for "Gpu1".
  for (const CTreeNode* c = node->child; c; c = c->next) {
    const std::u16string_view text = View(c->range);
    if (caseSensitive_ ? text == name : CIniText::EqualsIgnoreCase(text, name)) return c;
  }
  return nullptr;
}

const CTreeNode* CIni::FindChild(const CTreeNode* node, std::string_view utf8Name) const {
  return FindChild(node, std::u16string_view(CIniText::FromUtf8(utf8Name)));
}

std::u16string_view CIni::TextOf(const CTreeNode* node) const {
  return (node && loaded_) ? View(node->range) : std::u16string_view{};
}

std::int32_t CIni::IntOf(const CTreeNode* node) const { return CIniText::ToInt32(TextOf(node)); }

std::int32_t CIni::ReadInt(const CTreeNode* section, std::string_view key) const {
  return IntOf(ValueOf(FindChild(section, key)));
}

std::u16string CIni::ReadText(const CTreeNode* section, std::string_view key) const {
  return std::u16string(TextOf(ValueOf(FindChild(section, key))));
}
