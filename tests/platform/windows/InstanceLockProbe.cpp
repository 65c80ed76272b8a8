// A copy of the program as far as the single-instance lock goes: takes the system's lock and
// prints what it got ("Acquired", "HeldBySameUser", "HeldByOtherUser", "Unavailable").
// With "hold", a copy that got the lock keeps it until it is ended.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/SystemPlatform.h"

int main(int argc, char** argv) {
    auto lock = CreateSystemInstanceLock();
    const InstanceLockResult result = lock->Acquire();
    const char* names[] = {"Acquired", "HeldBySameUser", "HeldByOtherUser", "Unavailable"};
    std::printf("%s\n", names[static_cast<int>(result)]);
    std::fflush(stdout);
    if (argc > 1 && std::strcmp(argv[1], "hold") == 0 && result == InstanceLockResult::Acquired) Sleep(60000);
    return 0;
}
