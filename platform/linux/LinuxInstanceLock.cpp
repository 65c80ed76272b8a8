#include "platform/linux/LinuxInstanceLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstddef>
#include <chrono>
#include <cstring>
#include <utility>

namespace {

// A request is kActivate, a length byte and the activation token the later start was given.
constexpr char kActivate = 'A';
constexpr char kDone = 'K';
constexpr size_t kMaxTokenBytes = 255;
constexpr int kAnswerWaitMs = 2000;
// How long a later start keeps asking a holder that has bound the name but is not yet
// listening (or has just ended) before it calls the name another user's.
constexpr auto kHolderWait = std::chrono::seconds(1);

// The name in the abstract namespace: a leading zero byte, then the name, no terminator.
// 0 when it does not fit.
socklen_t AbstractAddress(const std::string& name, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (name.empty() || name.size() + 1 > sizeof address.sun_path) return 0;
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
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

LinuxInstanceLock::LinuxInstanceLock(std::string name) : name_(std::move(name)) {}

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
  // Closing the socket gives the name back.
  if (listenFd_ >= 0) close(listenFd_);
}

InstanceLockResult LinuxInstanceLock::Acquire() {
  if (!tried_) {
    tried_ = true;
    result_ = TryLock();
    if (result_ == InstanceLockResult::Acquired) StartListening();
  }
  return result_;
}

InstanceLockResult LinuxInstanceLock::TryLock() {
  sockaddr_un address;
  const socklen_t size = AbstractAddress(name_, address);
  if (size == 0) return InstanceLockResult::Unavailable;
  const auto giveUp = std::chrono::steady_clock::now() + kHolderWait;
  for (;;) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return InstanceLockResult::Unavailable;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0) {
      if (listen(fd, 8) != 0) {
        close(fd);
        return InstanceLockResult::Unavailable;
      }
      listenFd_ = fd;
      return InstanceLockResult::Acquired;
    }
    const int bindError = errno;
    close(fd);
    if (bindError != EADDRINUSE) return InstanceLockResult::Unavailable;

    // Held: the holder's credentials tell whose copy it is.
    const int probe = ConnectToHolder();
    if (probe >= 0) {
      uid_t holder = 0;
      const bool known = PeerUid(probe, holder);
      close(probe);
      return known && holder == geteuid() ? InstanceLockResult::HeldBySameUser
                                          : InstanceLockResult::HeldByOtherUser;
    }
    // The holder has bound the name and not yet listens, or has just ended: ask again, and
    // take the name if it has come free.
    if (std::chrono::steady_clock::now() >= giveUp) return InstanceLockResult::HeldByOtherUser;
    usleep(20 * 1000);
  }
}

int LinuxInstanceLock::ConnectToHolder() const {
  sockaddr_un address;
  const socklen_t size = AbstractAddress(name_, address);
  if (size == 0) return -1;
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
  // Without the wake pipe the listener could not be ended: the name is still held, and a
  // later start simply gets no answer.
  if (pipe2(wakeFds_, O_CLOEXEC) != 0) return;
  listener_ = std::thread([this] { Listen(); });
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
