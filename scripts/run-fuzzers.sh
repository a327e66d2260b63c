#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset, clang) and runs each one that has a seed
# corpus in fuzz/corpus/<target>/ for a bounded time. Fails when a target crashes.
#   scripts/run-fuzzers.sh [seconds per target, default 60]
# The build and the runs hold the shared build lock, so they never compete with another
# build on this machine. The seed corpus is not modified: new inputs go to a scratch copy
# under build/fuzz/, and a crashing input is saved as build/fuzz/artifacts/<target>-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
lock=/tmp/quorvel-build.lock

flock "$lock" cmake --preset fuzz
flock "$lock" cmake --build --preset fuzz --target fuzzers

status=0
for corpus in fuzz/corpus/*/; do
  target=$(basename "$corpus")
  binary=build/fuzz/fuzz/$target
  if [ ! -x "$binary" ]; then
    echo "run-fuzzers: no target $target for corpus $corpus" >&2
    status=1
    continue
  fi
  work=build/fuzz/corpus-work/$target
  mkdir -p "$work" build/fuzz/artifacts
  echo "run-fuzzers: $target for ${seconds}s"
  if ! flock "$lock" "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$target-" \
      "$work" "$corpus"; then
    echo "run-fuzzers: $target failed" >&2
    status=1
  fi
done
exit $status
