#include "platform/linux/LinuxInstanceLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

constexpr char kActivate = 'A';
constexpr char kDone = 'K';
constexpr int kAnswerWaitMs = 2000;

bool SocketAddress(const std::filesystem::path& file, sockaddr_un& address) {
  const std::string text = file.string();
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (text.size() >= sizeof address.sun_path) return false;  // no room: go without a socket
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return true;
}

bool WaitReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  int rc;
  while ((rc = poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
  }
  return rc > 0;
}

bool PeerUid(int fd, uid_t& uid) {
  ucred cred{};
  socklen_t size = sizeof cred;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0) return false;
  uid = cred.uid;
  return true;
}

}  // namespace

std::filesystem::path LinuxInstanceLock::DefaultFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ec;
  if (runtime && *runtime && std::filesystem::is_directory(runtime, ec)) return runtime;
  return "/tmp";
}

LinuxInstanceLock::LinuxInstanceLock(std::filesystem::path folder, std::string name)
    : folder_(std::move(folder)), name_(std::move(name)) {}

LinuxInstanceLock::~LinuxInstanceLock() {
  if (listener_.joinable()) {
    const char stop = 0;
    while (write(wakeFds_[1], &stop, 1) < 0 && errno == EINTR) {
    }
    listener_.join();
  }
  if (listenFd_ >= 0) {
    close(listenFd_);
    // Only the holder ever binds, so the socket file is ours to remove.
    unlink(socketFile().c_str());
  }
  for (int fd : wakeFds_) {
    if (fd >= 0) close(fd);
  }
  // Closing the file drops the lock; the file itself stays, since removing it would let a
  // copy that already opened it lock a file nobody else sees.
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

InstanceLockResult LinuxInstanceLock::TryLock() {
  const std::filesystem::path file = lockFile();
  int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
    // Another user's file in a shared folder: it can still be locked and looked at.
    fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  }
  if (fd < 0) return InstanceLockResult::Unavailable;

  int rc;
  while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc == 0) {
    lockFd_ = fd;
    return InstanceLockResult::Acquired;
  }
  if (errno != EWOULDBLOCK) {
    close(fd);
    return InstanceLockResult::Unavailable;
  }

  // Held. The holder's socket tells its user exactly; without it, the file's owner is the best
  // evidence left.
  uid_t holder = 0;
  bool known = false;
  const int probe = ConnectToHolder();
  if (probe >= 0) {
    known = PeerUid(probe, holder);
    close(probe);
  }
  if (!known) {
    struct stat st{};
    if (fstat(fd, &st) == 0) {
      holder = st.st_uid;
      known = true;
    }
  }
  close(fd);
  return known && holder == geteuid() ? InstanceLockResult::HeldBySameUser
                                      : InstanceLockResult::HeldByOtherUser;
}

int LinuxInstanceLock::ConnectToHolder() const {
  sockaddr_un address;
  if (!SocketAddress(socketFile(), address)) return -1;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
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
  bool done = false;
  if (send(fd, &kActivate, 1, MSG_NOSIGNAL) == 1 && WaitReadable(fd, kAnswerWaitMs)) {
    char answer = 0;
    done = read(fd, &answer, 1) == 1 && answer == kDone;
  }
  close(fd);
  return done;
}

void LinuxInstanceLock::SetActivationHandler(std::function<void()> handler) {
  std::lock_guard lock(handlerMutex_);
  handler_ = std::move(handler);
}

void LinuxInstanceLock::StartListening() {
  sockaddr_un address;
  if (!SocketAddress(socketFile(), address)) return;
  if (pipe2(wakeFds_, O_CLOEXEC) != 0) return;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  // Left behind by a copy that crashed; the lock says nobody is listening there now.
  unlink(socketFile().c_str());
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return;
  }
  if (listen(fd, 4) != 0) {
    close(fd);
    unlink(socketFile().c_str());
    return;
  }
  // Anyone may connect, so that another user's start can learn who holds the lock; only the
  // own user's requests are acted on.
  chmod(socketFile().c_str(), 0666);
  listenFd_ = fd;
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
  char request = 0;
  if (read(client, &request, 1) != 1 || request != kActivate) return;
  std::function<void()> handler;
  {
    std::lock_guard lock(handlerMutex_);
    handler = handler_;
  }
  if (handler) handler();
  send(client, &kDone, 1, MSG_NOSIGNAL);
}
