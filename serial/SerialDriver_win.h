#pragma once

#include <windows.h>

namespace SerialPlatform {

// The calls through which the port's I/O reaches the driver. Tests replace
// them, while no port is open, to play a driver that misbehaves in ways that no
// driver at hand can be made to: one that never completes a cancelled request,
// refuses a setting or fails an operation just as the port closes.
struct TDriverCalls {
    BOOL (*ReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) = ::ReadFile;
    BOOL (*WriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = ::WriteFile;
    BOOL (*CancelIoEx)(HANDLE, LPOVERLAPPED) = ::CancelIoEx;
    BOOL (*PurgeComm)(HANDLE, DWORD) = ::PurgeComm;
    BOOL (*GetCommState)(HANDLE, LPDCB) = ::GetCommState;
    BOOL (*SetCommState)(HANDLE, LPDCB) = ::SetCommState;
    BOOL (*SetCommTimeouts)(HANDLE, LPCOMMTIMEOUTS) = ::SetCommTimeouts;
};

TDriverCalls &DriverCalls();

// How long a cancelled request may take to complete before its record and
// buffer are left to the driver for good.
inline constexpr DWORD CancelLimitMs = 1000;

} // namespace SerialPlatform
