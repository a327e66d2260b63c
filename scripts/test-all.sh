#!/usr/bin/env bash
# Sets up, builds and runs every test in the given preset (default: "default").
#   scripts/test-all.sh [default|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

./scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
