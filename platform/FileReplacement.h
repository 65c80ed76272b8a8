#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>

// Replaces one file in one step: the new bytes go to a file of their own in the same folder,
// which is flushed to the disk and then renamed over the old one, so a crash or a full disk
// never leaves a half-written file behind. The new file is always made afresh (never opened
// if it exists), so a link another user planted in a shared folder is never written through;
// the rename replaces a link at the target's own name, it does not follow it.
//
// The new file is made first, before the caller composes what goes into it, so a caller can
// learn that the target cannot be written before it reads anything or changes any state.
class FileReplacement {
public:
  // Makes the new file beside `path`. Null when it cannot be made: no such folder, a folder
  // that may not be written, or a folder in the target's place. Temporary files that earlier
  // saves of the same target left behind, whose process no longer runs, are removed first.
  static std::unique_ptr<FileReplacement> Begin(const std::filesystem::path& path);
  // The same, with the system's reason in `why` when no new file could be made.
  static std::unique_ptr<FileReplacement> Begin(const std::filesystem::path& path, std::error_code& why);

  // An uncommitted replacement removes its new file; the old one is untouched.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Writes the bytes, flushes them and renames the new file over the target. Once only; false
  // when any step failed, in which case the new file is gone and the old one is as it was.
  bool Commit(std::span<const std::byte> bytes);

  // Lets whoever may read the new file also run it (a script), before it takes the target's
  // place, so it is never found in place and not runnable. Nothing to do on Windows.
  bool MakeRunnable();

  // Why Commit or MakeRunnable failed, as the system said it at the first step that failed
  // (a full disk: no space left on device); empty while nothing has failed.
  const std::error_code& Error() const { return error_; }

  // The name a save of `target` by process `pid` uses for its new file. It stays short
  // whatever the target's name, so any name the file system accepts can be saved to, and it
  // names the target (by a hash of its name) and the process, so that a leftover can be told
  // apart from a save still under way. A save draws `serial` at random: in a folder other
  // users can write, none of them can foresee the name and take it first.
  static std::filesystem::path TemporaryPathFor(const std::filesystem::path& target, unsigned long pid,
                                                unsigned serial);

  // Removes the temporary files of `target` whose writing process has ended: those named as
  // above and those of the older form "<target>.tmp-<pid>-<n>-<ticks>". Only the running
  // user's own leftovers go; another user's file is never taken away.
  static void RemoveStaleTemporaries(const std::filesystem::path& target);

private:
  FileReplacement(std::filesystem::path target, std::filesystem::path temporary, std::intptr_t handle);
  // Keeps the reason of the step that just failed, unless an earlier step's is kept.
  void Fail();

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::intptr_t handle_;  // the open new file; -1 once closed
  bool done_ = false;
  std::error_code error_;
};
