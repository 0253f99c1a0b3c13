// The Windows console. kavo-win is a GUI program: its console window is created by the first
// console operation, so a program that neither writes nor reads never shows one. Reads set the
// input mode each time: whole echoed lines for `read`, single unechoed keys for `readchar`.
#include <windows.h>

#include "win_host.h"

static int console_ready;
static HANDLE output = INVALID_HANDLE_VALUE;
static HANDLE input = INVALID_HANDLE_VALUE;

enum { PRINTF_MAX = 128, WRITE_CHUNK = 8192 };

void console_init() {
    if (console_ready) return;
    console_ready = 1;
    // AllocConsole fails harmlessly when the process already has a console (access denied;
    // a console without a window, too). Otherwise the console is a process of its own that
    // the system starts; should that start fail, it is asked for again, and a program that
    // cannot have one is told rather than left writing into nothing.
    for (DWORD wait = 10; !AllocConsole(); wait *= 2) {
        if (GetLastError() == ERROR_ACCESS_DENIED || GetConsoleWindow()) break;
        Error(wait > 1280, "Output");
        Sleep(wait);
    }
    output = GetStdHandle(STD_OUTPUT_HANDLE);
    Error(output == INVALID_HANDLE_VALUE, "Output");
    input = GetStdHandle(STD_INPUT_HANDLE);
    Error(input == INVALID_HANDLE_VALUE, "Input");
}

void console_write_str(char const* text, int length) {
    console_init();
    // Large texts go in pieces: a console write of many kilobytes may be refused whole.
    while (length > 0) {
        DWORD part = length > (int)WRITE_CHUNK ? (DWORD)WRITE_CHUNK : (DWORD)length;
        DWORD written = 0;
        if (!WriteConsoleA(output, text, part, &written, nullptr) || written == 0) return;
        text += written;
        length -= (int)written;
    }
}

void console_printf(char const* format, ...) {
    char line[PRINTF_MAX];
    va_list ap;
    va_start(ap, format);
    int n = win_vformat(line, PRINTF_MAX, format, ap);
    va_end(ap);
    console_write_str(line, n);
}

// One line, spaces included. The console hands it over with its CR LF, which is dropped; an
// empty line therefore arrives as CR LF itself and stays so. A line cut at `max` characters
// has no CR LF and is kept whole.
int console_read(char* buffer, int max) {
    console_init();
    SetConsoleMode(input, ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT);
    DWORD n = 0;
    if (!ReadConsoleA(input, buffer, (DWORD)max, &n, nullptr)) n = 0;
    if (n > 2 && buffer[n - 2] == '\r' && buffer[n - 1] == '\n') n -= 2;
    buffer[n] = 0;
    return (int)n;
}

// One key, the moment it is pressed, without echo and without waiting for Enter.
int console_read_char() {
    console_init();
    SetConsoleMode(input, ENABLE_PROCESSED_INPUT);
    u32 key = 0;
    DWORD n = 0;
    if (!ReadConsoleA(input, &key, 1, &n, nullptr)) return -1;
    return (int)(key & 0xFF);
}

void console_reject_key() { MessageBeep(0xFFFFFFFF); }

// A key is delivered the moment it is pressed: readchar checks its destination first.
int console_key_is_immediate() { return 1; }
