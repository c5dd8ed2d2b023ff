#!/bin/sh
# Builds the program and runs it on a bundled example.
set -e
cd "$(dirname "$0")/.."
sh scripts/build.sh
./build/brimvane -v
