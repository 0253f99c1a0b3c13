// Linux source files: C library streams, read one byte at a time.
#include <stdio.h>

#include "host.h"

file_handle file_io_open(char const* name, char mode) {
    char const* how = mode == 'w' ? "wb" : mode == 'a' ? "ab" : "rb";
    FILE* f = fopen(name, how);
    Error(f == nullptr, 12, name);
    return (file_handle)f;
}

int file_io_get_char(file_handle file) { return getc_unlocked((FILE*)file); }

void file_io_close(file_handle file) { fclose((FILE*)file); }
