#!/usr/bin/env bash
# Installs the Debian packages linkforge needs, when any is missing, configures build/
# and builds the targets named as arguments, or all of them when none is named (the
# kernels, the Octave modules in build/mex, the Python package in build/python, the
# tests and the benchmarks).
#   ./scripts/setup.sh                     everything (what ./scripts/test.sh runs)
#   ./scripts/setup.sh linkforge_modules   the kernels and the modules only
# Every caller configures build/ with the same options, so switching between the two
# only builds what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ make                 # toolchain
  octave liboctave-dev           # the host and its MEX headers
  libhwy-dev                     # SIMD kernels with runtime dispatch (Google Highway)
  libgtest-dev libbenchmark-dev  # unit tests and benchmarks
  libitpp-dev                    # IT++, an independent peer for the comparison benchmark
  libcli11-dev                   # command-line options of linkforge-sim
  libopenmpi-dev openmpi-bin     # linkforge-sim over several processes and machines
  valgrind                       # memory checks of the bad-input sweeps
  gnuplot-nox fonts-freefont-otf # plots of the example simulations without a display
  python3-dev python3-pybind11   # the Python module (for Debian's /usr/bin/python3)
  python3-numpy python3-pytest   # its arrays and its tests
  python3-matplotlib             # plots of the Python examples
)
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if ((${#missing[@]} > 0)); then
  sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -q || echo "apt-get update failed; trying the package lists at hand"
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
targets=()
if (($# > 0)); then targets=(--target "$@"); fi
cmake --build build --parallel "$(nproc)" "${targets[@]}"
