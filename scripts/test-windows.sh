#!/usr/bin/env bash
# Cross-builds the tool for 64-bit Windows with MinGW-w64 (the windows preset, build/windows)
# and runs its tests and quorvel-isp.exe under Wine, in a throw-away Wine prefix inside the
# build folder. The window is not part of this build (no Qt for MinGW here); see
# docs/windows.md for building everything on Windows.
#   scripts/test-windows.sh
# The build holds the shared build lock, so it never competes with another build on this
# machine.
set -euo pipefail
cd "$(dirname "$0")/.."
lock=/tmp/quorvel-build.lock

./scripts/install-deps.sh
# The preset gives every Wine start the prefix and the silence; so does this, for the
# configure step's own runs.
export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all
mkdir -p build/windows
cmake --preset windows
flock "$lock" cmake --build --preset windows
# The first Wine start creates the prefix. Tests that start while it is being made fail
# ("fixed a temporary directory error"), and CTest starts two at once: so one start
# comes first, alone, and the prefix is complete before the tests run.
/usr/lib/wine/wine64 build/windows/cli/quorvel-isp.exe --help >/dev/null
/usr/lib/wine/wineserver -w
flock "$lock" ctest --preset windows
