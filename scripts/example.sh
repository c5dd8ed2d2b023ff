#!/bin/sh
# Builds the program and runs it on a bundled example: the expected
# derived-allele spectra of two demes with migration and a split, from 100000
# genealogies, and the likelihood of the example's observed spectra.
set -e
cd "$(dirname "$0")/.."
sh scripts/build.sh
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
echo "All outputs are in $(pwd)"
