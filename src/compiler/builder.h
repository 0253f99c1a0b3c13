// Program builder: the one consumer of compile events. It builds the program directly in the
// atom table: a function is its name atom with `params` (name cells) and `body` (call cells);
// a call's arguments hang below its cell as its sub-list. Top-level `var`, `new` and `do`
// become calls in kavo.initialize; a top-level `include` compiles the named file at once.
// At most 64 lists may be open at a time. Nothing built here is ever freed.
#pragma once

#include "../core/atoms.h"
#include "../core/lists.h"

enum { NESTING_MAX = 64 };

void engine_event(char const* event, char const* text);
// Sees every event before the builder does; tests set it to record the event stream.
extern void (*engine_event_observer)(char const* event, char const* text);
// Counts the definitions compiled so far: lookups that missed a function may hit after it moves.
extern unsigned functions_defined;
// Appends a call of `atom`, without arguments, to the end of kavo.initialize's body.
list_s* builder_append_init(atom_s* atom);

// Where a call of the program is written, for error reports: its file, the line of its name
// and the function whose body holds it (kavo.initialize for the top-level statements). The
// positions are kept in a table of their own beside the program, read only when an error is
// reported; `file` is null for a cell that no source text wrote.
struct position_s {
    char const* file;
    int line;
    atom_s* func;
};
position_s builder_position(list_s* cell);
