#!/usr/bin/env bash
# Builds the kavo of a git revision into a folder, for comparing it with another build:
#
#   bench/build-at.sh REV DIR
#   bench/run.sh --kavo new=build/kavo --kavo old=DIR/kavo
#
# REV is anything git names a commit by (main, HEAD~3, a hash). The revision's files are
# taken from git (uncommitted changes play no part) into a temporary folder and built
# there as a Release build without the tests; DIR receives kavo and a file revision with
# the commit's short hash, which bench/run.sh shows next to the build's label.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: bench/build-at.sh REV DIR" >&2
    exit 2
fi
rev=$1
dir=$2
root=$(git -C "$(dirname "${BASH_SOURCE[0]}")" rev-parse --show-toplevel)
commit=$(git -C "$root" rev-parse --verify --short "$rev^{commit}")

src=$(mktemp -d)
trap 'rm -rf "$src"' EXIT
git -C "$root" archive "$commit" | tar -x -C "$src"
log="$src/build.log"
if ! { cmake -S "$src" -B "$src/build" -DCMAKE_BUILD_TYPE=Release -DKAVO_TESTS=OFF &&
       cmake --build "$src/build" -j2 --target kavo; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "build-at.sh: the build of $commit failed" >&2
    exit 1
fi
mkdir -p "$dir"
cp "$src/build/kavo" "$dir/kavo"
echo "$commit" >"$dir/revision"
echo "built kavo of $commit into $dir/kavo"
