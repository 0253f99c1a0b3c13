// Trace mode: the dialogue shown for every call of a function while is_tracing is non-zero,
// driven by single keys, and spy points (AI_SPY) that switch it on when a function is called.
// is_tracing is a counter: `trace` and the return from a skipped call increment it,
// `notrace`, "n" and "s" set it to 0.
#pragma once

#include "../core/atoms.h"
#include "../core/lists.h"

extern int is_tracing;

void PROCESS_TRACING(atom_s* func, list_s* args, int& resume);
