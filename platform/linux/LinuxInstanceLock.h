#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/InstanceLock.h"

// Single instance on Linux: an flock on "window.lock" in a folder that only the lock's owner
// can write, and beside it a socket "window.sock" on which the holder answers later starts.
// The one-copy rule guards the cards' buses, so the lock belongs to whoever drives them: root's
// copy takes a machine-wide lock under /run/pyxtune, which no other user can create, hold or
// replace; any other user's copy reaches the cards only through the service or not at all, so
// its lock is one per user, in the user's runtime folder. A lock in a folder that is a link,
// another user's or writable by others is not used. The kernel drops an flock with its process,
// so a copy that crashed leaves nothing that stops the next start.
class LinuxInstanceLock : public InstanceLock {
 public:
  // Where a lock lives: its folder and the user who must own that folder and the lock file.
  struct Place {
    std::filesystem::path folder;
    uid_t owner = 0;
    mode_t folderMode = 0700;  // for a folder this lock makes
  };
  // root: /run/pyxtune; another user: $XDG_RUNTIME_DIR/pyxtune, else /tmp/pyxtune-<uid>.
  static Place PlaceForThisProcess();

  explicit LinuxInstanceLock(Place place = PlaceForThisProcess());
  ~LinuxInstanceLock() override;
  LinuxInstanceLock(const LinuxInstanceLock&) = delete;
  LinuxInstanceLock& operator=(const LinuxInstanceLock&) = delete;

  InstanceLockResult Acquire() override;
  bool ActivateFirstCopy() override;
  void SetActivationHandler(ActivationHandler handler) override;
  std::string HolderName() const override { return holderName_; }
  std::string Problem() const override { return problem_; }

 private:
  InstanceLockResult TryLock();
  InstanceLockResult Unavailable(std::string problem);
  // Who answers on the socket: HeldBySameUser or HeldByOtherUser, nothing when nobody does.
  bool AskHolder(InstanceLockResult& result);
  int ConnectToHolder() const;  // a connected socket, or -1
  void StartListening();
  void Listen();
  void Answer(int client);

  Place place_;
  std::filesystem::path socketPath_;
  bool tried_ = false;
  InstanceLockResult result_ = InstanceLockResult::Unavailable;
  std::string holderName_;
  std::string problem_;
  int lockFd_ = -1;
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  std::thread listener_;
  std::mutex handlerMutex_;
  ActivationHandler handler_;
};
