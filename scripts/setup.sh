#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quendar need; installs
# nothing that is already present and downloads nothing from anywhere else.
set -euo pipefail
packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev python3 liblapack-dev libopenblas0-serial clang libclang-rt-14-dev bison pkg-config libcairo2-dev hershey-fonts-data libwmf-bin emf2svg libuemf-dev ghostscript poppler-utils libfltk1.3-dev xvfb xdotool imagemagick netcdf-bin python3-ezdxf python3-netcdf4 python3-meshio libsuitesparse-dev clang-format)
# The side-by-side mesher comparison (bench/compare_gmsh.sh) only.
[ "${QUENDAR_BENCH_TOOLS:-0}" = 1 ] && packages+=(gmsh)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
