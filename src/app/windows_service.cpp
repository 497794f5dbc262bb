#include "app/windows_service.h"

#include <atomic>
#include <cstring>
#include <string>

#include "app/termination_signals.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace quorvane {

#ifndef _WIN32

bool startedAsWindowsService(int, const char* const*) { return false; }
int runAsWindowsService(const std::function<int()>& serve) { return serve(); }
bool runningAsWindowsService() { return false; }
void reportWindowsServiceRunning() {}
void reportWindowsServiceStopping() {}

#else

namespace {

// The dispatcher's state: written by the service's main before the player starts, read by the control
// handler and the reports. The status handle is only used by one thread at a time, as the manager asks.
std::atomic<SERVICE_STATUS_HANDLE> statusHandle{nullptr};
std::atomic<bool> runningAsService{false};
const std::function<int()>* serviceBody = nullptr;
int serviceExitStatus = 1;
// The service's name in the service control manager (sc.exe, the Services console, the installer).
wchar_t SERVICE_NAME[] = L"QuorvanePlayer";
std::atomic<DWORD> checkPoint{0};

void report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHintMs = 0) {
    const SERVICE_STATUS_HANDLE handle = statusHandle.load();
    if (!handle) return;
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = exitCode;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCheckPoint = pending ? ++checkPoint : 0;
    status.dwWaitHint = waitHintMs;
    SetServiceStatus(handle, &status);
}

DWORD WINAPI onControl(DWORD control, DWORD, void*, void*) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            // The shutdown writes the records and joins the server: seconds at most.
            report(SERVICE_STOP_PENDING, NO_ERROR, 30000);
            requestTermination(control == SERVICE_CONTROL_STOP ? "the service control manager's stop" : "Windows shutting down");
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE: return NO_ERROR;
        default: return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI serviceMain(DWORD, LPWSTR*) {
    statusHandle = RegisterServiceCtrlHandlerExW(SERVICE_NAME, onControl, nullptr);
    if (!statusHandle.load()) return;
    runningAsService = true;
    // Loading the records and binding the port take well under this.
    report(SERVICE_START_PENDING, NO_ERROR, 30000);
    serviceExitStatus = (*serviceBody)();
    report(SERVICE_STOPPED, static_cast<DWORD>(serviceExitStatus));
}

}  // namespace

bool startedAsWindowsService(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], WINDOWS_SERVICE_OPTION) == 0) return true;
    return false;
}

int runAsWindowsService(const std::function<int()>& serve) {
    serviceBody = &serve;
    const SERVICE_TABLE_ENTRYW table[] = {{SERVICE_NAME, serviceMain}, {nullptr, nullptr}};
    // Returns when the service has stopped; fails at once when the manager did not start the process.
    if (!StartServiceCtrlDispatcherW(table)) return 1;
    return serviceExitStatus;
}

bool runningAsWindowsService() { return runningAsService.load(); }
void reportWindowsServiceRunning() { report(SERVICE_RUNNING); }
void reportWindowsServiceStopping() { report(SERVICE_STOP_PENDING, NO_ERROR, 30000); }

#endif

}  // namespace quorvane
