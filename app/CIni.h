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

// Reader of the settings text format: "[Section]" headers and "key=value" lines, in UTF-16LE
// as the program writes them, or in UTF-8 as an editor or a converter may have saved them.
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
  static constexpr std::uintmax_t kMaxFileBytes = 1024u * 1024u;

  // Why the last Load or LoadBytes returned false. NotText and Malformed are the content's
  // fault; the others mean the file itself could not be had.
  enum class LoadFailure { None, NotAFile, TooLarge, ReadError, OutOfMemory, NotText, Malformed };

  // Every caller of the program uses the defaults: names are matched without regard to
  // letter case and trimmed of blanks.
  explicit CIni(bool caseSensitive = false, bool trimNames = true);
  ~CIni();
  CIni(const CIni&) = delete;
  CIni& operator=(const CIni&) = delete;

  // Reads and parses the file. On false the reader holds nothing (whatever it held before
  // is gone too), and Failure / FailureText say why.
  //
  // The encoding is told by the byte-order mark (FF FE: UTF-16LE, EF BB BF: UTF-8), else by
  // the content: this format is ASCII at heart, so UTF-16LE text holds a NUL in every other
  // byte and UTF-8 text none. UTF-8 must be valid throughout; in UTF-16LE a trailing odd byte
  // is ignored.
  bool Load(const std::filesystem::path& path);

  // Parses bytes already in memory, as they would lie on disk. Same rules as Load.
  bool LoadBytes(std::span<const std::byte> bytes);

  LoadFailure Failure() const { return failure_; }
  // The reason in words, to follow the file's name in a message ("is not valid UTF-8 ...");
  // empty when nothing failed.
  const std::string& FailureText() const { return failureText_; }

  // Frees the tree and the buffer, and forgets any failure.
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

  // The parsed text as UTF-16, byte-order mark included when the file had one (a UTF-8 mark
  // becomes U+FEFF as well).
  std::u16string_view Buffer() const { return buffer_; }

private:
  // Both may throw std::bad_alloc, which LoadBytes reports as OutOfMemory.
  bool Decode(std::span<const std::byte> bytes);
  bool Parse();
  // Releases everything and records why; always false.
  bool Fail(LoadFailure failure, std::string text);
  void Trim(TextRange& range) const;
  std::u16string_view View(const TextRange& range) const;

  bool caseSensitive_;
  bool trimNames_;
  bool loaded_ = false;
  std::u16string buffer_;
  CTree tree_;
  LoadFailure failure_ = LoadFailure::None;
  std::string failureText_;
  std::size_t inputBytes_ = 0;  // the size of what the last load decoded
  bool overBudget_ = false;     // the last parse stopped at the tree's share of memory
};
