// Windows source files: CreateFileA and one ReadFile per byte. A failed read is an error of
// its own (13), told apart from the end of the file.
#include <windows.h>

#include "win_host.h"

file_handle file_io_open(char const* name, char mode) {
    DWORD access = GENERIC_READ | GENERIC_WRITE, share = 0, disposition = OPEN_EXISTING;
    if (mode == 'r') {
        access = GENERIC_READ;
        share = FILE_SHARE_READ;
    } else if (mode == 'w') {
        access = GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
    }
    HANDLE file = CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    Error(file == INVALID_HANDLE_VALUE, 12, name);
    return (file_handle)file;
}

int file_io_get_char(file_handle file) {
    u32 byte = 0;
    DWORD n = 0;
    Error(!ReadFile((HANDLE)file, &byte, 1, &n, nullptr), 13);
    return n ? (int)(byte & 0xFF) : -1;
}

void file_io_close(file_handle file) { CloseHandle((HANDLE)file); }
