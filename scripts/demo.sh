#!/usr/bin/env bash
# The main job: set up and build, then simulate a coded link and print its BER table.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
octave-cli --norc --quiet --no-history --no-window-system \
  --eval "addpath('build/mex'); addpath('examples'); conv_ber_demo"
