#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/InstanceLock.h"

// Single instance, one copy per machine: the lock is a listening socket bound to a name in
// the kernel's abstract socket namespace, which every user and root share and no file
// system folder decides. The name is held exactly as long as the process holds the socket,
// so a copy that crashed leaves nothing behind, and there is no file whose owner, mode,
// folder or symbolic link anyone could arrange in advance. A later start that finds the
// name taken connects to it, learns the holder's user from the socket's peer credentials
// and, when it is its own user, asks over the same socket for the window.
class LinuxInstanceLock : public InstanceLock {
 public:
  static constexpr const char* kDefaultName = "PYXTUNE_App_Mutex";

  explicit LinuxInstanceLock(std::string name = kDefaultName);
  ~LinuxInstanceLock() override;
  LinuxInstanceLock(const LinuxInstanceLock&) = delete;
  LinuxInstanceLock& operator=(const LinuxInstanceLock&) = delete;

  InstanceLockResult Acquire() override;
  bool ActivateFirstCopy() override;
  void SetActivationHandler(ActivationHandler handler) override;

 private:
  InstanceLockResult TryLock();
  int ConnectToHolder() const;  // a connected socket, or -1
  void StartListening();
  void Listen();
  void Answer(int client);

  std::string name_;
  bool tried_ = false;
  InstanceLockResult result_ = InstanceLockResult::Unavailable;
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  std::thread listener_;
  std::mutex handlerMutex_;
  ActivationHandler handler_;
};
