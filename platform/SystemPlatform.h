#pragma once

#include <filesystem>
#include <memory>

#include "platform/InstanceLock.h"
#include "platform/LogonRunList.h"
#include "platform/MessageSink.h"
#include "platform/ProcessLauncher.h"
#include "platform/ServiceControl.h"

// The operating system's own implementations of the seams, for the platform being built.

// Windows: the named mutex "Global\PYXTUNE_App_Mutex" and the window titled "PYXTUNE".
// Linux: root's lock file and socket in /run/pyxtune; another user's in $XDG_RUNTIME_DIR/pyxtune.
std::unique_ptr<InstanceLock> CreateSystemInstanceLock();
// Windows: the machine's Run key with a scheduled task beside it. Linux: the XDG autostart
// folder of the machine.
std::unique_ptr<LogonRunList> CreateSystemLogonRunList();
// Windows: the service control manager. Linux: systemd.
std::unique_ptr<ServiceControl> CreateSystemServiceControl();
std::unique_ptr<ProcessLauncher> CreateSystemProcessLauncher();
std::unique_ptr<MessageSink> CreateSystemMessageSink();
// Full path of the running program file; empty when the system does not say.
std::filesystem::path CurrentProgramFile();
