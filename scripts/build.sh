#!/bin/sh
# Configures and builds the Release tree in build/. The argument says whether
# the tests are built too: ON (default: the program and every test) or OFF
# (the program alone). It is passed on every call, so a tree configured one
# way and then built the other way gets what the caller needs.
set -e
cd "$(dirname "$0")/.."
tests=${1:-ON}
sh scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBRIMVANE_TESTS="$tests" >/dev/null
cmake --build build -j "$(nproc)"
