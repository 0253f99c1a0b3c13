// Linux forms of the system built-ins: there is no shell launcher, no sleeping and no
// local time, so these say what they would have done or report that nothing is there.
#include <stdio.h>
#include <strings.h>

#include "host.h"

char const* host_command_line() { return "<NO COMMAND LINE AVAILABLE>"; }

int host_neqi(char const* a, char const* b) { return strcasecmp(a, b); }

void host_message(char const* title, char const* text) { printf("[ %s ] %s\n", title, text); }

int host_shell(char const* text) {
    printf("Don't know how to execute ShellExecute: %s\n", text);
    return 1;
}

void host_sleep(int ms) { printf("Sleep(): %i\n", ms); }

int host_local_time(int*) { return 0; }

int host_ticks() { return 0; }
