// Parser: recursive descent over the reader's atoms, reporting what it recognises as compile
// events to the builder; it builds nothing itself (a top-level `do` is registered with
// kavo.initialize directly). engine_compile compiles one whole file, nested includes
// included, and ends with the after-compile checks over everything compiled so far.
#pragma once

#include "../host/host.h"

void engine_compile(char const* name);            // opens name + ".kavo"
void engine_compile(file_handle file, char const* name);

void engine_program();
void engine_func();
void engine_param_list();
void engine_params();
void engine_BODY();
void engine_body();
void engine_CALLs();
void engine_call();
void engine_call_param_list();
void engine_call_params();
