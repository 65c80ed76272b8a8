#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "app/CTree.h"
#include "app/CTreeNode.h"
#include "app/TextRange.h"

// Reader of the settings text format: UTF-16LE, "[Section]" headers and "key=value" lines.
//
// The whole file is read into one buffer and parsed in one pass into a three-level tree
// (sections under the root, keys under a section, at most one value under a key). Nodes hold
// index ranges into that buffer, so nothing is copied and every lookup reads the one buffer.
// Pointers and views handed out stay valid until the next Load or Release.
class CIni {
public:
  using DataStruct = TextRange;

  // Files beyond this size are refused: a settings file is a few kilobytes, and a runaway
  // file must fail cleanly rather than exhaust memory.
  static constexpr std::uintmax_t kMaxFileBytes = 64u * 1024u * 1024u;

  // Every caller of the program uses the defaults: names are matched without regard to
  // letter case and trimmed of blanks.
  explicit CIni(bool caseSensitive = false, bool trimNames = true);
  ~CIni();
  CIni(const CIni&) = delete;
  CIni& operator=(const CIni&) = delete;

  // Reads and parses the file. On false the reader holds nothing (whatever it held before
  // is gone too).
  bool Load(const std::filesystem::path& path);

  // Parses bytes already in memory, as they would lie on disk. A trailing odd byte is
  // ignored. Same result rules as Load.
  bool LoadBytes(std::span<const std::byte> bytes);

  // Frees the tree and the buffer.
  void Release();

  bool IsLoaded() const { return loaded_; }
  const CTreeNode* Root() const { return loaded_ ? tree_.Root() : nullptr; }

  // The first child of `node` whose whole name equals `name`; nullptr when there is none or
  // `node` is nullptr. Given the root it finds a section, given a section a key.
  const CTreeNode* FindChild(const CTreeNode* node, std::u16string_view name) const;
  const CTreeNode* FindChild(const CTreeNode* node, std::string_view utf8Name) const;

  // A key's value node, or nullptr when the key is nullptr or its line had no line end.
  static const CTreeNode* ValueOf(const CTreeNode* key) { return key ? key->child : nullptr; }

  // The text of a node, empty for nullptr. The view points into the reader's buffer.
  std::u16string_view TextOf(const CTreeNode* node) const;

  // The text of a node as a number (see CIniText::ToInt32), 0 for nullptr.
  std::int32_t IntOf(const CTreeNode* node) const;

  // Shortcuts over a section: the value of `key`, or 0 / an empty text when the key or its
  // value is missing.
  std::int32_t ReadInt(const CTreeNode* section, std::string_view key) const;
  std::u16string ReadText(const CTreeNode* section, std::string_view key) const;

  // The parsed text, byte-order mark included when the file had one.
  std::u16string_view Buffer() const { return buffer_; }

private:
  bool Parse();
  void Trim(TextRange& range) const;
  std::u16string_view View(const TextRange& range) const;

  bool caseSensitive_;
  bool trimNames_;
  bool loaded_ = false;
  std::u16string buffer_;
  CTree tree_;
};
