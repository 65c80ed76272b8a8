#include "platform/linux/LinuxInstanceLock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstddef>
#include <chrono>
#include <cstring>
#include <future>
#include <utility>
#include <vector>

namespace {

// A request is kActivate, a length byte and the activation token the later start was given.
constexpr char kActivate = 'A';
constexpr char kDone = 'K';
constexpr size_t kMaxTokenBytes = 255;
constexpr int kAnswerWaitMs = 2000;
// How long a later start keeps asking a holder that has the lock but is not yet listening (or
// has just ended) before it settles for a copy it cannot reach.
constexpr auto kHolderWait = std::chrono::seconds(1);

// The socket's address; false when the path does not fit.
bool SocketAddress(const std::filesystem::path& path, sockaddr_un& address, socklen_t& size) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  const std::string text = path.string();
  if (text.empty() || text.size() + 1 > sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + text.size() + 1);
  return true;
}

std::string UserName(uid_t uid) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return found->pw_name;
  return "uid " + std::to_string(uid);
}

std::string Quoted(const std::filesystem::path& path) {
  std::string quoted(1, '"');
  quoted += path.string();
  quoted += '"';
  return quoted;
}

bool WaitReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  int rc;
  while ((rc = poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
  }
  return rc > 0;
}

// Reads exactly size bytes, each part within the answer wait.
bool ReadAll(int fd, void* buffer, size_t size) {
  auto* at = static_cast<char*>(buffer);
  while (size > 0) {
    if (!WaitReadable(fd, kAnswerWaitMs)) return false;
    const ssize_t got = read(fd, at, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

bool PeerUid(int fd, uid_t& uid) {
  ucred cred{};
  socklen_t size = sizeof cred;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0) return false;
  uid = cred.uid;
  return true;
}

}  // namespace

LinuxInstanceLock::Place LinuxInstanceLock::PlaceForThisProcess() {
  const uid_t user = geteuid();
  if (user == 0) return {"/run/pyxtune", 0, 0755};
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return {std::filesystem::path(runtime) / "pyxtune", user, 0700};
  return {"/tmp/pyxtune-" + std::to_string(user), user, 0700};
}

LinuxInstanceLock::LinuxInstanceLock(Place place)
    : place_(std::move(place)), socketPath_(place_.folder / "window.sock") {}

LinuxInstanceLock::~LinuxInstanceLock() {
  if (listener_.joinable()) {
    const char stop = 0;
    while (write(wakeFds_[1], &stop, 1) < 0 && errno == EINTR) {
    }
    listener_.join();
  }
  for (int fd : wakeFds_) {
    if (fd >= 0) close(fd);
  }
  if (listenFd_ >= 0) close(listenFd_);
  // The socket file stays: the next holder replaces it, and removing it here could remove a
  // later holder's. Closing the lock file gives the lock back.
  if (lockFd_ >= 0) close(lockFd_);
}

InstanceLockResult LinuxInstanceLock::Acquire() {
  if (!tried_) {
    tried_ = true;
    result_ = TryLock();
    if (result_ == InstanceLockResult::Acquired) StartListening();
  }
  return result_;
}

InstanceLockResult LinuxInstanceLock::Unavailable(std::string problem) {
  problem_ = std::move(problem);
  return InstanceLockResult::Unavailable;
}

InstanceLockResult LinuxInstanceLock::TryLock() {
  sockaddr_un address;
  socklen_t size = 0;
  if (!SocketAddress(socketPath_, address, size)) return Unavailable(Quoted(socketPath_) + " is too long a socket path");

  // The folder: made if missing, then used only when it is a real folder of the owner that
  // nobody else may write to (a link, or a folder another user made first, is never used).
  const std::string folder = place_.folder.string();
  if (mkdir(folder.c_str(), place_.folderMode) != 0 && errno != EEXIST)
    return Unavailable(Quoted(place_.folder) + " cannot be made: " + std::strerror(errno));
  const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) {
    const bool notFolder = errno == ENOTDIR || errno == ELOOP;
    return Unavailable(Quoted(place_.folder) + (notFolder ? " is a link or no folder" : std::string(" cannot be opened: ") + std::strerror(errno)));
  }
  struct stat about {};
  if (fstat(dirFd, &about) != 0 || about.st_uid != place_.owner || (about.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    close(dirFd);
    return Unavailable(Quoted(place_.folder) + " belongs to another user or can be written by others");
  }
  lockFd_ = openat(dirFd, "window.lock", O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  const int openError = errno;
  close(dirFd);
  if (lockFd_ < 0 && openError == EACCES) {
    // Another user's lock (root's, say): this process may not take it, only learn who holds it.
    InstanceLockResult held;
    if (AskHolder(held)) return held;
    return Unavailable(Quoted(place_.folder / "window.lock") + " is another user's");
  }
  if (lockFd_ < 0) return Unavailable(Quoted(place_.folder / "window.lock") + " cannot be opened: " + std::strerror(openError));
  if (fstat(lockFd_, &about) != 0 || !S_ISREG(about.st_mode) || about.st_uid != place_.owner)
    return Unavailable(Quoted(place_.folder / "window.lock") + " is not the lock file");

  const auto giveUp = std::chrono::steady_clock::now() + kHolderWait;
  for (;;) {
    if (flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
      // A crashed holder's socket file is still there; nobody else may write to this folder.
      unlink(socketPath_.c_str());
      listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), size) != 0 ||
          listen(listenFd_, 8) != 0) {
        // The lock is held all the same; later starts find it and just cannot be answered.
        if (listenFd_ >= 0) close(listenFd_);
        listenFd_ = -1;
      } else {
        // Any user may ask who holds it; only the holder's own user is answered.
        chmod(socketPath_.c_str(), 0666);
      }
      return InstanceLockResult::Acquired;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return Unavailable(std::string("flock: ") + std::strerror(errno));
    InstanceLockResult held;
    if (AskHolder(held)) return held;
    // The holder has the lock and does not listen yet, or has just ended: ask again, and take
    // the lock if it has come free. Only the owner can hold the lock file; the owner is this user.
    if (std::chrono::steady_clock::now() >= giveUp) return InstanceLockResult::HeldBySameUser;
    usleep(20 * 1000);
  }
}

bool LinuxInstanceLock::AskHolder(InstanceLockResult& result) {
  const int probe = ConnectToHolder();
  if (probe < 0) return false;
  uid_t holder = 0;
  const bool known = PeerUid(probe, holder);
  close(probe);
  if (known && holder == geteuid()) {
    result = InstanceLockResult::HeldBySameUser;
  } else {
    result = InstanceLockResult::HeldByOtherUser;
    if (known) holderName_ = UserName(holder);
  }
  return true;
}

int LinuxInstanceLock::ConnectToHolder() const {
  sockaddr_un address;
  socklen_t size = 0;
  if (!SocketAddress(socketPath_, address, size)) return -1;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool LinuxInstanceLock::ActivateFirstCopy() {
  if (result_ != InstanceLockResult::HeldBySameUser &&
      result_ != InstanceLockResult::HeldByOtherUser) {
    return false;
  }
  // The first copy may have taken the lock a moment ago and not be listening yet.
  int fd = -1;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while ((fd = ConnectToHolder()) < 0 && std::chrono::steady_clock::now() < giveUp) {
    usleep(20 * 1000);
  }
  if (fd < 0) return false;
  // Started from a Wayland desktop's launcher, this copy holds the token that lets a window
  // take the focus; the first copy's window is the one that needs it.
  const char* given = std::getenv("XDG_ACTIVATION_TOKEN");
  std::string token = given != nullptr ? given : "";
  if (token.size() > kMaxTokenBytes) token.clear();
  std::string request(1, kActivate);
  request.push_back(static_cast<char>(token.size()));
  request += token;
  bool done = false;
  if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size()) &&
      WaitReadable(fd, kAnswerWaitMs)) {
    char answer = 0;
    done = read(fd, &answer, 1) == 1 && answer == kDone;
  }
  close(fd);
  return done;
}

void LinuxInstanceLock::SetActivationHandler(ActivationHandler handler) {
  std::lock_guard lock(handlerMutex_);
  handler_ = std::move(handler);
}

void LinuxInstanceLock::StartListening() {
  if (listenFd_ < 0) return;
  // Without the wake pipe the listener could not be ended: the lock is still held, and a
  // later start simply gets no answer.
  if (pipe2(wakeFds_, O_CLOEXEC) != 0) return;
  // Acquire returns once the listener has started and waits for a later start: from then on it
  // holds nothing a fork of this process (a helper it starts) could inherit half-taken, such as
  // the allocator's locks a starting thread takes.
  std::promise<void> started;
  std::future<void> running = started.get_future();
  listener_ = std::thread([this, started = std::move(started)]() mutable {
    started.set_value();
    Listen();
  });
  running.wait();
}

void LinuxInstanceLock::Listen() {
  for (;;) {
    pollfd p[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (poll(p, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (p[1].revents) return;
    if (!(p[0].revents & POLLIN)) continue;
    const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    Answer(client);
    close(client);
  }
}

void LinuxInstanceLock::Answer(int client) {
  uid_t peer = 0;
  if (!PeerUid(client, peer) || peer != geteuid()) return;
  // A probe from Acquire closes without a word; only a request is answered.
  if (!WaitReadable(client, kAnswerWaitMs)) return;
  unsigned char header[2] = {0, 0};
  if (!ReadAll(client, header, sizeof header) || header[0] != static_cast<unsigned char>(kActivate)) return;
  std::string token(header[1], '\0');
  if (!token.empty() && !ReadAll(client, token.data(), token.size())) return;
  ActivationHandler handler;
  {
    std::lock_guard lock(handlerMutex_);
    handler = handler_;
  }
  if (handler) handler(token);
  send(client, &kDone, 1, MSG_NOSIGNAL);
}
