#!/bin/sh
# Installs the build dependencies that are missing (Debian, run as root).
set -e
missing=""
for p in g++ cmake make libgomp1 libeigen3-dev libgtest-dev; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y $missing || { apt-get update && apt-get install -y $missing; }
fi
