#include "app/CIni.h"

#include <bit>
#include <fstream>
#include <limits>
#include <system_error>

#include "app/CIniText.h"

namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
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
}

bool CIni::Load(const std::filesystem::path& path) {
  Release();
  std::error_code ec;
  // Only a regular file: a FIFO or device would block or never end.
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const std::uintmax_t sizeBytes = std::filesystem::file_size(path, ec);
  if (ec || sizeBytes > kMaxFileBytes) return false;

  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::size_t units = static_cast<std::size_t>(sizeBytes / 2);
  try {
    buffer_.assign(units, u'\0');
  } catch (const std::bad_alloc&) {
    Release();
    return false;
  }
  // One read straight into the buffer; a file that shrank since its size was taken is a
  // short read and fails.
  const auto bytesWanted = static_cast<std::streamsize>(units * 2);
  in.read(reinterpret_cast<char*>(buffer_.data()), bytesWanted);
  if (in.gcount() != bytesWanted) {
    Release();
    return false;
  }
  if constexpr (std::endian::native == std::endian::big) {
    for (char16_t& u : buffer_) u = static_cast<char16_t>((u >> 8) | (u << 8));
  }
  if (!Parse()) {
    Release();
    return false;
  }
  loaded_ = true;
  return true;
}

bool CIni::LoadBytes(std::span<const std::byte> bytes) {
  Release();
  if (bytes.size() > kMaxFileBytes) return false;
  const std::size_t units = bytes.size() / 2;
  try {
    buffer_.resize(units);
  } catch (const std::bad_alloc&) {
    Release();
    return false;
  }
  for (std::size_t i = 0; i < units; ++i) {
    buffer_[i] = static_cast<char16_t>(std::to_integer<unsigned>(bytes[2 * i]) |
                                       (std::to_integer<unsigned>(bytes[2 * i + 1]) << 8));
  }
  if (!Parse()) {
    Release();
    return false;
  }
  loaded_ = true;
  return true;
}

// One pass; each code unit either moves the state or closes a node. Sections and keys are
// appended at remembered tails so that a file of many keys parses in linear time.
bool CIni::Parse() {
  static_assert(kMaxFileBytes / 2 < static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max()),
                "every buffer index must fit a TextRange");
  CTreeNode* root = tree_.Root();
  CTreeNode* lastSection = nullptr;
  CTreeNode* lastKey = nullptr;  // last key of the current section (the current key)
  ParseState state = ParseState::BetweenLines;
  std::int32_t sectionStart = 0;
  std::int32_t keyStart = 0;
  std::int32_t valueStart = 0;

  const auto count = static_cast<std::int32_t>(buffer_.size());
  try {
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
            if (lastKey->child) return false;
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
  } catch (const std::bad_alloc&) {
    return false;
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
