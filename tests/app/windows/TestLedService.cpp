// Stands in for the LED service program "LumoraService.exe" in the service tests: a service
// of its own process that runs until it is told to stop.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopRequested = nullptr;

void Report(DWORD state, DWORD waitHintMs) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWaitHint = waitHintMs;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING, 500);
        SetEvent(stopRequested);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    statusHandle = RegisterServiceCtrlHandlerExW(L"LumoraServices", Control, nullptr);
    if (!statusHandle) return;
    stopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_START_PENDING, 500);
    Report(SERVICE_RUNNING, 0);
    WaitForSingleObject(stopRequested, INFINITE);
    Report(SERVICE_STOPPED, 0);
}

}  // namespace

int main() {
    wchar_t name[] = L"LumoraServices";
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
