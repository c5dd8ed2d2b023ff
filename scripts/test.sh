#!/bin/sh
# Builds everything and runs the whole test suite.
set -e
cd "$(dirname "$0")/.."
sh scripts/build.sh ON
ctest --test-dir build --output-on-failure -j "$(nproc)"
