#!/usr/bin/env bash
# Sets up, builds, and updates the firmware of the embedded simulated chip with the
# project's sample firmware, showing the status texts and the progress.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target quorvel-isp sample_firmware
build/default/cli/quorvel-isp --sim auto build/default/samples/sample-firmware.hex
