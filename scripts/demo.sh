#!/usr/bin/env bash
# The main job: set up and build the modules (no tests, no benchmarks), then simulate
# the rate-1/3 turbo code over BPSK/AWGN with live progress, print the table, and write
# results/turbo_code.csv and .png.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh linkforge_modules
octave-cli --norc --quiet --no-history --no-window-system \
  --eval "addpath('build/mex'); addpath('examples'); turbo_code_example ('output_dir', 'results');"
