// Windows forms of the system built-ins: the process command line, case-blind comparison by
// the user's locale, message boxes for warnings and the about text, the shell launcher,
// sleeping, the local time and the millisecond tick count.
#include <windows.h>

#include "win_host.h"

char const* host_command_line() { return GetCommandLineA(); }

int host_neqi(char const* a, char const* b) { return lstrcmpiA(a, b); }

void host_message(char const* title, char const* text) {
    MessageBoxA(nullptr, text, title, MB_TOPMOST | MB_ICONINFORMATION);
}

int host_shell(char const* text) {
    return (INT_PTR)ShellExecuteA(nullptr, nullptr, text, nullptr, nullptr, SW_SHOWDEFAULT) > 32;
}

// A negative time is no time: passed on, it would read as INFINITE and never return.
void host_sleep(int ms) { Sleep(ms > 0 ? (DWORD)ms : 0); }

int host_local_time(int fields[7]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    fields[0] = now.wHour;
    fields[1] = now.wMinute;
    fields[2] = now.wSecond;
    fields[3] = now.wMilliseconds;
    fields[4] = now.wDay;
    fields[5] = now.wMonth;
    fields[6] = now.wYear;
    return 1;
}

int host_ticks() { return (int)GetTickCount(); }
