// Feeds arbitrary bytes to the settings reader as if they were a file on disk (read as UTF-16LE
// or UTF-8, or refused with a reason), then walks the tree and checks what every caller relies
// on: each node's text lies inside the buffer, names are trimmed, no name or value runs across
// a line end, nodes come in file order, and a lookup by a node's own name finds that node or an
// earlier one of the same name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "app/CIni.h"
#include "app/CIniText.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool HasLineEnd(std::u16string_view text) {
  return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

// A name is trimmed unless it is all blanks, which keeps its range as written.
bool IsTrimmed(std::u16string_view name) {
  if (name.find_first_not_of(u' ') == std::u16string_view::npos) return true;
  return name.front() != u' ' && name.back() != u' ';
}

void CheckRange(const CIni& ini, const TextRange& r, std::int32_t& previousEnd) {
  const auto size = static_cast<std::int32_t>(ini.Buffer().size());
  Check(r.start >= 0 && r.start <= size);
  Check(r.end >= r.start - 1 && r.end < size);
  Check(r.start > previousEnd);  // file order, no overlap
  previousEnd = r.end < r.start ? r.start - 1 : r.end;
}

void CheckFind(const CIni& ini, const CTreeNode* parent, const CTreeNode* node) {
  const CTreeNode* found = ini.FindChild(parent, ini.TextOf(node));
  Check(found != nullptr);
  Check(CIniText::EqualsIgnoreCase(ini.TextOf(found), ini.TextOf(node)));
  for (const CTreeNode* c = parent->child; c != found; c = c->next) Check(c != node);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CIni ini;
  const bool loaded = ini.LoadBytes(std::as_bytes(std::span(data, size)));
  Check(loaded == ini.IsLoaded());
  // A refusal always says why; a load never carries a stale reason.
  Check(loaded == (ini.Failure() == CIni::LoadFailure::None));
  Check(loaded == ini.FailureText().empty());
  if (!loaded) return 0;
  // UTF-16LE gives a unit per two bytes, UTF-8 at most one per byte.
  Check(ini.Buffer().size() <= size);

  const CTreeNode* root = ini.Root();
  Check(root->next == nullptr);
  std::int32_t previousEnd = -1;
  std::size_t lookups = 0;
  for (const CTreeNode* section = root->child; section; section = section->next) {
    CheckRange(ini, section->range, previousEnd);
    const std::u16string_view name = ini.TextOf(section);
    Check(!HasLineEnd(name) && name.find_first_of(u"[]") == std::u16string_view::npos);
    Check(IsTrimmed(name));
    // Lookups are linear; a few per input keep the run fast on long inputs.
    if (lookups++ < 64) CheckFind(ini, root, section);
    for (const CTreeNode* key = section->child; key; key = key->next) {
      CheckRange(ini, key->range, previousEnd);
      const std::u16string_view keyName = ini.TextOf(key);
      Check(!HasLineEnd(keyName) && keyName.find(u'=') == std::u16string_view::npos);
      Check(IsTrimmed(keyName));
      if (lookups++ < 64) CheckFind(ini, section, key);
      if (const CTreeNode* value = CIni::ValueOf(key)) {
        Check(value->next == nullptr && value->child == nullptr);
        CheckRange(ini, value->range, previousEnd);
        const std::u16string_view text = ini.TextOf(value);
        Check(!HasLineEnd(text));
        // The value ends right before a line end, which is in the buffer.
        const auto after = static_cast<std::size_t>(value->range.end + 1);
        Check(after < ini.Buffer().size() && HasLineEnd(ini.Buffer().substr(after, 1)));
        (void)ini.IntOf(value);
        (void)CIniText::ToUtf8(text);
      }
    }
  }
  ini.Release();
  Check(ini.Root() == nullptr && ini.Buffer().empty());
  return 0;
}
