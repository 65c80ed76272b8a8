#include "app/SettingsFileWriter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <system_error>

#include "app/CIniText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// A name beside the target that no other writer picks: the process id and a counter tell
// concurrent saves apart, the clock tells apart a name left by an earlier crashed run.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
#ifdef _WIN32
  const unsigned long pid = GetCurrentProcessId();
#else
  const auto pid = static_cast<unsigned long>(getpid());
#endif
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path tmp = path;
  tmp += ".tmp-" + std::to_string(pid) + "-" + std::to_string(counter.fetch_add(1)) + "-" +
         std::to_string(ticks);
  return tmp;
}

#ifdef _WIN32

bool WriteAndFlush(const std::filesystem::path& tmp, std::span<const std::byte> bytes) {
  HANDLE h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    ok = WriteFile(h, bytes.data() + done, chunk, &written, nullptr) && written > 0;
    done += written;
  }
  ok = ok && FlushFileBuffers(h);
  ok = CloseHandle(h) && ok;
  return ok;
}

bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void SyncFolder(const std::filesystem::path&) {}

#else

bool WriteAll(int fd, std::span<const std::byte> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAndFlush(const std::filesystem::path& tmp, const std::filesystem::path& target,
                   std::span<const std::byte> bytes) {
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = true;
  // The new file takes over the old one's permissions, so a save never widens or narrows
  // who may read the settings.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  return ok;
}

bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

// Makes the rename itself survive a power loss. Best effort: the file is already in place.
void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

#endif

}  // namespace

SettingsFileWriter::SettingsFileWriter() : text_(1, kByteOrderMark) {}

void SettingsFileWriter::AddSection(int gpuNumber) {
  text_ += u"[Gpu";
  text_ += CIniText::FromUtf8(std::to_string(gpuNumber));
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
  if (path.empty() || !path.has_filename()) return false;
  std::error_code ec;
  // Renaming over a folder would either fail or, worse, succeed on some systems.
  if (std::filesystem::is_directory(path, ec)) return false;
  const std::filesystem::path tmp = TemporaryPathFor(path);
#ifdef _WIN32
  const bool written = WriteAndFlush(tmp, bytes);
#else
  const bool written = WriteAndFlush(tmp, path, bytes);
#endif
  if (!written || !RenameOver(tmp, path)) {
    std::filesystem::remove(tmp, ec);
    return false;
  }
  std::filesystem::path folder = path.parent_path();
  SyncFolder(folder.empty() ? std::filesystem::path(".") : folder);
  return true;
}
