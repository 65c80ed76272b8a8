#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/InstanceLock.h"

// Single instance through an flock()ed file in a runtime folder. The first copy also listens on
// a local socket beside it; a later start connects there, learns the holder's user from the
// socket's peer credentials and, when it is its own user, asks for the window.
//
// $XDG_RUNTIME_DIR is private to one user, so there a copy of another user is never seen; the
// /tmp fallback (or a shared folder given explicitly) is what lets users meet.
class LinuxInstanceLock : public InstanceLock {
 public:
  // $XDG_RUNTIME_DIR when it names a folder, else /tmp.
  static std::filesystem::path DefaultFolder();

  explicit LinuxInstanceLock(std::filesystem::path folder = DefaultFolder(),
                             std::string name = "PYXTUNE_App_Mutex");
  ~LinuxInstanceLock() override;
  LinuxInstanceLock(const LinuxInstanceLock&) = delete;
  LinuxInstanceLock& operator=(const LinuxInstanceLock&) = delete;

  InstanceLockResult Acquire() override;
  bool ActivateFirstCopy() override;
  void SetActivationHandler(std::function<void()> handler) override;

  std::filesystem::path lockFile() const { return folder_ / (name_ + ".lock"); }
  std::filesystem::path socketFile() const { return folder_ / (name_ + ".sock"); }

 private:
  InstanceLockResult TryLock();
  int ConnectToHolder() const;  // a connected socket, or -1
  void StartListening();
  void Listen();
  void Answer(int client);

  std::filesystem::path folder_;
  std::string name_;
  bool tried_ = false;
  InstanceLockResult result_ = InstanceLockResult::Unavailable;
  int lockFd_ = -1;
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  std::thread listener_;
  std::mutex handlerMutex_;
  std::function<void()> handler_;
};
