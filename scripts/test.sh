#!/usr/bin/env bash
# Sets up and builds, then runs every test: kernel unit tests and module tests through
# GNU Octave, including the bad-input sweeps (under valgrind where installed).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
ctest --test-dir build --output-on-failure --parallel "$(nproc)"
