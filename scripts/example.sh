#!/bin/sh
# Builds the program (without the tests), installs it where the shell finds it
# and runs it on a bundled example: the expected derived-allele spectra of two
# demes with migration and a split, from 100000 genealogies, and the
# likelihood of the example's observed spectra.
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
sh scripts/build.sh OFF
# The guide's commands call `brimvane`: install it into <prefix>/bin
# (/usr/local/bin by default, on the PATH of a Debian shell).
if log=$(cmake --install build); then
  installed=$(echo "$log" | sed -n 's/^-- [A-Za-z-]*: \(.*bin\/brimvane\)$/\1/p' | head -n 1)
else
  installed=""
  echo "Could not install the program (not root?): call it as $root/build/brimvane"
fi
run=build/example-run
rm -rf "$run"
mkdir -p "$run"
cp examples/twoDemes/* "$run"
cd "$run"
../brimvane -i twoDemes.par -n 100000 -d -c 0 -q
echo
echo "Likelihood table (twoDemes/twoDemes.lhoods):"
cat twoDemes/twoDemes.lhoods
echo
echo "Expected joint derived-allele spectrum (twoDemes/twoDemes_jointDAFpop1_0.txt):"
cat twoDemes/twoDemes_jointDAFpop1_0.txt
echo
if [ -n "$installed" ] && [ "$(command -v brimvane)" = "$installed" ]; then
  echo "The program is $installed: the guide's commands (brimvane ...) run as written."
elif [ -n "$installed" ]; then
  echo "The program is $installed (also $root/build/brimvane); that folder is not on"
  echo "your PATH: call it by its path or add $(dirname "$installed") to PATH."
else
  echo "The program is $root/build/brimvane: call it by that path."
fi
echo "The outputs of this run are in $(pwd)/twoDemes (inputs copied from examples/twoDemes)."
echo "Likelihoods (MAFLHood_k, DAFLHood_k) are base-10 logarithms: log10 L, not ln L."
