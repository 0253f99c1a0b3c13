#!/usr/bin/env bash
# Times the workloads of bench/programs with kavo builds and the peers tclsh, python3 and
# lua5.4, round by round; bench/run.sh --help lists the options, bench/runner.py says how.
exec python3 "$(dirname "${BASH_SOURCE[0]}")/runner.py" "$@"
