#pragma once

#include <functional>
#include <string>

// Keeps a second copy of the program from running beside the first. The first copy holds the
// lock for its whole life; a later start learns who holds it and, when it is the same user's
// copy, asks that copy to bring its window forward.
enum class InstanceLockResult {
  Acquired,         // this is the only copy; the lock is held until the object goes away
  HeldBySameUser,   // another copy of this user runs: activate it and end
  HeldByOtherUser,  // a copy of another user (or one this process may not talk to) runs
  Unavailable,      // no lock could be made at all (the system refused it)
};

class InstanceLock {
 public:
  virtual ~InstanceLock() = default;

  // Takes the lock once; later calls return the first outcome again.
  virtual InstanceLockResult Acquire() = 0;

  // Second copy: asks the first to show its main window normally and bring it to the
  // foreground. False when no running copy could be reached (nothing to activate).
  virtual bool ActivateFirstCopy() = 0;

  // First copy: what to do when a later start asks for the window. The token is what the
  // desktop gave the later start to pass focus on with (Wayland's XDG activation token; empty
  // where there is none): a compositor lets a window come forward only with one. Where the
  // platform lets the second copy raise the window itself the handler is never called. It may
  // run on a thread of the lock's own (Linux) or from the message loop of the thread that gave
  // it (Windows), so a UI hops to its own thread with a queued call.
  using ActivationHandler = std::function<void(const std::string& activationToken)>;
  virtual void SetActivationHandler(ActivationHandler handler) = 0;

  // After HeldByOtherUser: the holder's user name where the system tells it, else empty.
  virtual std::string HolderName() const { return {}; }
  // After Unavailable: why no lock could be made, for the diagnostics; empty when unknown.
  virtual std::string Problem() const { return {}; }
};
