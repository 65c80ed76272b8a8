// A copy of the program as far as the single-instance lock goes: takes the system's lock and
// prints what it got ("Acquired", "HeldBySameUser", "HeldByOtherUser", "Unavailable").
// With "hold", a copy that got the lock keeps it until it is ended, runs a message loop and
// prints "activated" each time a later copy asks for its window.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/SystemPlatform.h"

int main(int argc, char** argv) {
    auto lock = CreateSystemInstanceLock();
    const bool hold = argc > 1 && std::strcmp(argv[1], "hold") == 0;
    if (hold)
        lock->SetActivationHandler([](const std::string&) {
            std::printf("activated\n");
            std::fflush(stdout);
        });
    const InstanceLockResult result = lock->Acquire();
    const char* names[] = {"Acquired", "HeldBySameUser", "HeldByOtherUser", "Unavailable"};
    std::printf("%s\n", names[static_cast<int>(result)]);
    std::fflush(stdout);
    if (!hold || result != InstanceLockResult::Acquired) return 0;
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) DispatchMessageW(&message);
    return 0;
}
