#!/usr/bin/env bash
# Sets up and builds everything into build/ and runs every test there: kernel unit
# tests and module tests through GNU Octave, including the bad-input sweeps (also under
# valgrind where valgrind can run the host). Then builds the kernels, the modules and
# the unit tests with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-sanitize/ and runs the unit tests and the module tests there, the host running
# with the sanitizer runtime preloaded. Fails when any test of either tree fails.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
status=0

./scripts/setup.sh
ctest --test-dir build --output-on-failure --parallel "$jobs" || status=1
verdict=build/tests/octave/valgrind-verdict.txt
if [ -f "$verdict" ] && [ "$(head -n 1 "$verdict")" != ok ]; then
  echo "The valgrind runs were skipped: $(cat "$verdict")"
fi

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Release -DLINKFORGE_SANITIZE=ON \
  -DLINKFORGE_BUILD_BENCH=OFF
cmake --build build-sanitize --parallel "$jobs"
ctest --test-dir build-sanitize --output-on-failure --parallel "$jobs" || status=1

exit "$status"
