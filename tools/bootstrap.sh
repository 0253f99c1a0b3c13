#!/usr/bin/env bash
# The README's quick start on Debian or Ubuntu. Installs what is missing through apt-get (as
# root, or with sudo), builds kavo in build/, and then
#   tools/bootstrap.sh run [EXAMPLE]   runs an example of examples/ (hello when none is named)
#   tools/bootstrap.sh test            runs every test with ctest
# Building needs only a C++ compiler, CMake and make; the tests add GoogleTest, Python, the
# Debian packaging tools with lintian and man, Vim, and node with npm.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-}
example=${2:-hello}
case $mode in
  run) [ -f "examples/$example/main.kavo" ] || { echo "no example examples/$example"; exit 2; } ;;
  test) ;;
  *) echo "usage: tools/bootstrap.sh run [EXAMPLE] | test"; exit 2 ;;
esac

need=()
command -v g++ >/dev/null || need+=(g++)
command -v cmake >/dev/null || need+=(cmake)
command -v make >/dev/null || need+=(make)
if [ "$mode" = test ]; then
  dpkg -s libgtest-dev >/dev/null 2>&1 || need+=(libgtest-dev)
  command -v python3 >/dev/null || need+=(python3)
  command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)
  command -v lintian >/dev/null || need+=(lintian)
  command -v man >/dev/null || need+=(man-db)
  command -v groff >/dev/null || need+=(groff-base)
  vim --version 2>/dev/null | grep -q '+syntax' || need+=(vim)
  command -v node >/dev/null || need+=(nodejs)
  command -v npm >/dev/null || need+=(npm)
fi
if [ ${#need[@]} -gt 0 ]; then
  sudo=
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "installing ${need[*]} needs root or sudo"; exit 1; }
    sudo=sudo
  fi
  echo "== installing ${need[*]}"
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${need[@]}" </dev/null
fi

cmake -S . -B build
if [ "$mode" = run ]; then
  cmake --build build -j2 --target kavo
  exec build/kavo "examples/$example"
fi
cmake --build build -j2
ctest --test-dir build --output-on-failure
