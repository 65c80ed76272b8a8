#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

enum class FileLockMode { Shared, Exclusive };

// A lock the processes that share one file take around reading and changing it, so that a
// change is made to what the file holds now and not to what one of them read a while ago.
// It lives in a lock file of its own beside the shared file: a file replaced by a rename is
// a new file each time, and a lock on the old one would keep nobody out of the new one.
//
// The lock belongs to the open lock file, which a process shares between its threads: within
// one process, one thread at a time must use it.
class FileLock {
public:
  // Opens the lock file, making it when it is missing. The file is never opened through a
  // link and must be a plain file, so a name another user planted in a shared folder cannot
  // send the lock (or the process, waiting on a pipe) anywhere else. Null with `error` set
  // (why, without the file's name) when it cannot be had.
  static std::unique_ptr<FileLock> Open(const std::filesystem::path& lockFile, std::string& error);

  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Waits until the lock is held in `mode`: one holder at a time for Exclusive, any number of
  // them for Shared while nobody holds it Exclusive. False only when the system refused it.
  [[nodiscard]] bool Lock(FileLockMode mode);
  void Unlock();

private:
  explicit FileLock(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};
