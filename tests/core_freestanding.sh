#!/usr/bin/env bash
# The shared core must reach the platform only through the host layer: every symbol the core
# archive needs from outside itself is either defined by the host (host.h) or one of the few
# the compiler itself may call. A C library call sneaking into the core fails this test, since
# the Windows build links no C runtime.
set -euo pipefail
archive=$1
nm=${NM:-nm}
defined=$("$nm" -C --defined-only "$archive" 2>/dev/null | awk 'NF>=3 {sub(/^[0-9a-f]+ [A-Za-z] /,""); print}' | sort -u)
needed=$("$nm" -C -u "$archive" 2>/dev/null | awk '/ U / {sub(/^ *U /,""); print}' | sort -u)
allowed='^(__asan_|__ubsan_|__sanitizer_|__lsan_|operator new|operator delete|memcpy|memmove|memset|console_|file_io_|host_|stack_check_failed|stack_limit|rnd_seed|hInstance|_GLOBAL_OFFSET_TABLE_)'
bad=$(comm -23 <(echo "$needed") <(echo "$defined") | grep -Ev "$allowed" || true)
if [ -n "$bad" ]; then
  echo "the core calls outside the host layer:"
  echo "$bad"
  exit 1
fi
echo "core needs only the host layer: ok"
