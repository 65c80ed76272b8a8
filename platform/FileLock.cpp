#include "platform/FileLock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32

std::unique_ptr<FileLock> FileLock::Open(const std::filesystem::path& lockFile, std::string& error) {
  // A reparse point (a link) is opened as itself, and then refused as not a plain file.
  HANDLE h = CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = "it cannot be opened (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    CloseHandle(h);
    error = "it is not a plain file";
    return nullptr;
  }
  return std::unique_ptr<FileLock>(new FileLock(reinterpret_cast<std::intptr_t>(h)));
}

FileLock::~FileLock() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

bool FileLock::Lock(FileLockMode mode) {
  OVERLAPPED whole{};
  const DWORD flags = mode == FileLockMode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
  return LockFileEx(reinterpret_cast<HANDLE>(handle_), flags, 0, 1, 0, &whole) != 0;
}

void FileLock::Unlock() {
  OVERLAPPED whole{};
  UnlockFileEx(reinterpret_cast<HANDLE>(handle_), 0, 1, 0, &whole);
}

#else

std::unique_ptr<FileLock> FileLock::Open(const std::filesystem::path& lockFile, std::string& error) {
  // Not blocking on the open: a pipe planted at the name would otherwise hold the process.
  constexpr int kFlags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
  int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
  // Another user's lock file in a sticky folder may be refused for writing (or, with the
  // kernel's protected_regular, for O_CREAT); a lock needs no more than reading.
  if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) fd = ::open(lockFile.c_str(), O_RDONLY | kFlags);
  if (fd < 0) {
    error = errno == ELOOP ? std::string("it is a symbolic link, which is not followed")
                           : std::string("it cannot be opened (") + std::strerror(errno) + ")";
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    error = "it is not a plain file";
    return nullptr;
  }
  return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock() { ::close(static_cast<int>(handle_)); }

bool FileLock::Lock(FileLockMode mode) {
  const int operation = mode == FileLockMode::Exclusive ? LOCK_EX : LOCK_SH;
  int result;
  do result = ::flock(static_cast<int>(handle_), operation);
  while (result != 0 && errno == EINTR);
  return result == 0;
}

void FileLock::Unlock() { ::flock(static_cast<int>(handle_), LOCK_UN); }

#endif
