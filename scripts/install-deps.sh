#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and benchmark.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  qt6-base-dev
  libusb-1.0-0-dev umockdev libumockdev-dev libglib2.0-dev
  libcli11-dev nlohmann-json3-dev
  binutils time
  xvfb xauth
  g++-mingw-w64-x86-64 wine64 googletest
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
