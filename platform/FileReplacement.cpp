#include "platform/FileReplacement.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/ProcessIdentity.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr std::intptr_t kClosed = -1;
// The older form: "<target>.tmp-<pid>-<counter>-<ticks>".
constexpr std::string_view kOldSuffix = ".tmp-";

// FNV-1a over the target's name as the system spells it.
std::uint32_t NameHash(const fs::path& target) {
  std::uint32_t hash = 2166136261u;
  const fs::path name = target.filename();
  for (const auto unit : name.native()) {
    auto value = static_cast<std::uint32_t>(unit);
    for (std::size_t b = 0; b < sizeof unit; ++b) {
      hash = (hash ^ (value & 0xFF)) * 16777619u;
      value >>= 8;
    }
  }
  return hash;
}

std::string HashText(std::uint32_t hash) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", hash);
  return text;
}

bool ParseNumber(std::string_view text, unsigned long& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

// The writing process of a leftover named `name` when it is a temporary file of the target
// whose new-form prefix and old-form name are given; 0 when it is not one.
unsigned long WriterOf(std::string_view name, std::string_view newPrefix, std::string_view oldPrefix) {
  unsigned long pid = 0;
  if (name.size() > newPrefix.size() && name.substr(0, newPrefix.size()) == newPrefix &&
      name.size() > 4 && name.substr(name.size() - 4) == ".tmp") {
    const std::string_view rest = name.substr(newPrefix.size(), name.size() - newPrefix.size() - 4);
    const std::size_t dash = rest.find('-');
    unsigned long counter = 0;
    if (dash != std::string_view::npos && ParseNumber(rest.substr(0, dash), pid) &&
        ParseNumber(rest.substr(dash + 1), counter))
      return pid;
    return 0;
  }
  if (name.size() > oldPrefix.size() && name.substr(0, oldPrefix.size()) == oldPrefix) {
    const std::string_view rest = name.substr(oldPrefix.size());
    const std::size_t first = rest.find('-');
    const std::size_t second = first == std::string_view::npos ? first : rest.find('-', first + 1);
    unsigned long counter = 0;
    unsigned long ticks = 0;
    if (second != std::string_view::npos && ParseNumber(rest.substr(0, first), pid) &&
        ParseNumber(rest.substr(first + 1, second - first - 1), counter) &&
        ParseNumber(rest.substr(second + 1), ticks))
      return pid;
  }
  return 0;
}

#ifdef _WIN32

std::intptr_t CreateNew(const fs::path& tmp, const fs::path&) {
  HANDLE h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? kClosed : reinterpret_cast<std::intptr_t>(h);
}

bool NameTaken() { return GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS; }

void ClearLastError() { SetLastError(0); }

// Why the system call just made failed; a general input/output error when it did not say.
std::error_code LastError() {
  const DWORD code = GetLastError();
  return code != 0 ? std::error_code(static_cast<int>(code), std::system_category())
                   : std::make_error_code(std::errc::io_error);
}

bool OwnLeftover(const fs::path& file) {
  std::error_code ec;
  return fs::symlink_status(file, ec).type() == fs::file_type::regular;
}

bool AddRunBits(std::intptr_t) { return true; }

bool WriteAndFlush(std::intptr_t handle, std::span<const std::byte> bytes) {
  HANDLE h = reinterpret_cast<HANDLE>(handle);
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    ok = WriteFile(h, bytes.data() + done, chunk, &written, nullptr) && written > 0;
    done += written;
  }
  return ok && FlushFileBuffers(h);
}

bool Close(std::intptr_t handle) { return CloseHandle(reinterpret_cast<HANDLE>(handle)) != 0; }

bool RenameOver(const fs::path& from, const fs::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void SyncFolder(const fs::path&) {}

#else

std::intptr_t CreateNew(const fs::path& tmp, const fs::path& target) {
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return kClosed;
  // The new file takes over the old one's permissions, so a save never widens or narrows
  // who may read the settings; never its set-id bits, which a file someone else left in a
  // shared folder could carry, nor those of whatever a link at the name points at (the link
  // is replaced, not followed).
  struct stat old {};
  if (::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) && ::fchmod(fd, old.st_mode & 0777) != 0) {
    ::close(fd);
    ::unlink(tmp.c_str());
    return kClosed;
  }
  return fd;
}

bool NameTaken() { return errno == EEXIST; }

void ClearLastError() { errno = 0; }

// Why the system call just made failed; a general input/output error when it did not say (a
// write that took nothing without an error).
std::error_code LastError() {
  return errno != 0 ? std::error_code(errno, std::system_category()) : std::make_error_code(std::errc::io_error);
}

// A leftover of the running user's own, not a file (or link) another user put there.
bool OwnLeftover(const fs::path& file) {
  struct stat info {};
  return ::lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

bool AddRunBits(std::intptr_t handle) {
  struct stat info {};
  const int fd = static_cast<int>(handle);
  if (::fstat(fd, &info) != 0) return false;
  const mode_t readers = info.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
  return ::fchmod(fd, (info.st_mode & 0777) | readers >> 2) == 0;
}

bool WriteAndFlush(std::intptr_t handle, std::span<const std::byte> bytes) {
  const int fd = static_cast<int>(handle);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return ::fsync(fd) == 0;
}

bool Close(std::intptr_t handle) { return ::close(static_cast<int>(handle)) == 0; }

bool RenameOver(const fs::path& from, const fs::path& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

// Makes the rename itself survive a power loss. Best effort: the file is already in place.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

#endif

// File names compared as UTF-8, which every name converts to without loss or failure.
std::string Utf8Name(const fs::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}

fs::path FolderOf(const fs::path& target) {
  const fs::path folder = target.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

// A number nobody else can foresee, drawn afresh for every new file.
unsigned UnforeseeableSerial() {
  static std::mutex mutex;
  static std::random_device source;
  std::lock_guard lock(mutex);
  return source();
}

}  // namespace

fs::path FileReplacement::TemporaryPathFor(const fs::path& target, unsigned long pid, unsigned serial) {
  // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on a `"." + std::string` chain.
  std::string name = ".";
  name += HashText(NameHash(target));
  name += '-';
  name += std::to_string(pid);
  name += '-';
  name += std::to_string(serial);
  name += ".tmp";
  return target.parent_path() / name;
}

void FileReplacement::RemoveStaleTemporaries(const fs::path& target) {
  std::string newPrefix = ".";
  newPrefix += HashText(NameHash(target));
  newPrefix += '-';
  const std::string oldPrefix = Utf8Name(target) + std::string(kOldSuffix);
  const unsigned long self = CurrentProcessId();
  std::error_code ec;
  for (fs::directory_iterator it(FolderOf(target), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    const std::string name = Utf8Name(it->path());
    const unsigned long pid = WriterOf(name, newPrefix, oldPrefix);
    // This process's own files may belong to a save on another thread.
    if (pid == 0 || pid == self || !OwnLeftover(it->path()) || ProcessRuns(pid)) continue;
    fs::remove(it->path(), ignored);
  }
}

std::unique_ptr<FileReplacement> FileReplacement::Begin(const fs::path& path) {
  std::error_code ignored;
  return Begin(path, ignored);
}

std::unique_ptr<FileReplacement> FileReplacement::Begin(const fs::path& path, std::error_code& why) {
  why.clear();
  if (path.empty() || !path.has_filename()) {
    why = std::make_error_code(std::errc::invalid_argument);
    return nullptr;
  }
  std::error_code ec;
  // Renaming over a folder would either fail or, worse, succeed on some systems.
  if (fs::is_directory(path, ec)) {
    why = std::make_error_code(std::errc::is_a_directory);
    return nullptr;
  }
  RemoveStaleTemporaries(path);
  const unsigned long pid = CurrentProcessId();
  // A name that is taken (a leftover, or a name someone took first) is passed over, not reused.
  for (int attempt = 0; attempt < 64; ++attempt) {
    const fs::path tmp = TemporaryPathFor(path, pid, UnforeseeableSerial());
    ClearLastError();
    const std::intptr_t handle = CreateNew(tmp, path);
    if (handle != kClosed) return std::unique_ptr<FileReplacement>(new FileReplacement(path, tmp, handle));
    why = LastError();
    if (!NameTaken()) return nullptr;
  }
  return nullptr;
}

FileReplacement::FileReplacement(fs::path target, fs::path temporary, std::intptr_t handle)
    : target_(std::move(target)), temporary_(std::move(temporary)), handle_(handle) {}

FileReplacement::~FileReplacement() {
  if (done_) return;
  if (handle_ != kClosed) Close(handle_);
  std::error_code ec;
  fs::remove(temporary_, ec);
}

bool FileReplacement::MakeRunnable() {
  if (done_ || handle_ == kClosed) return false;
  ClearLastError();
  if (AddRunBits(handle_)) return true;
  Fail();
  return false;
}

void FileReplacement::Fail() {
  if (!error_) error_ = LastError();
}

bool FileReplacement::Commit(std::span<const std::byte> bytes) {
  if (done_) return false;
  done_ = true;
  // Each step's reason is taken before the next call can change it; the first one stands.
  ClearLastError();
  bool ok = WriteAndFlush(handle_, bytes);
  if (!ok) Fail();
  ClearLastError();
  if (!Close(handle_)) {
    Fail();
    ok = false;
  }
  handle_ = kClosed;
  // The temporary's name is made lasting before the rename and the rename after it, so that a
  // power cut leaves the old file or the new one, never a name that points at neither.
  if (ok) SyncFolder(FolderOf(target_));
  ClearLastError();
  if (!ok || !RenameOver(temporary_, target_)) {
    if (ok) Fail();
    std::error_code ec;
    fs::remove(temporary_, ec);
    return false;
  }
  SyncFolder(FolderOf(target_));
  return true;
}
