#!/usr/bin/env bash
# Installs the Debian packages linkforge needs, when any is missing, and builds the
# kernels, the Octave modules (build/mex), the tests and the benchmarks into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ make                 # toolchain
  octave liboctave-dev           # the host and its MEX headers
  libgtest-dev libbenchmark-dev  # unit tests and benchmarks
  valgrind                       # memory checks of the bad-input sweeps
  gnuplot-nox fonts-freefont-otf # plots of the example simulations without a display
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
cmake --build build --parallel "$(nproc)"
