#!/usr/bin/env bash
# Whole-process figures for loading a 256 KB image from Intel HEX: our loader
# (bench/load_image) against `objcopy -I ihex -O binary` on the same file.
#   bench/compare_load.sh [build dir, default build/default] [runs, default 200]
# Prints the mean wall time per run and the peak resident memory of one run for each.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
runs=${2:-200}
loader=$build/bench/load_image
[ -x "$loader" ] || { echo "build $loader first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 262144 /dev/urandom > "$work/image.bin"
objcopy -I binary -O ihex "$work/image.bin" "$work/image.hex"
"$loader" "$work/image.hex"

measure() {  # name, command...
  local name=$1; shift
  "$@" >/dev/null  # warm the page cache
  local start end
  start=$(date +%s%N)
  for ((i = 0; i < runs; ++i)); do "$@" >/dev/null; done
  end=$(date +%s%N)
  local rss
  rss=$(/usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1)
  printf '%-28s %8.2f ms/run  %6s KB peak RSS\n' "$name" \
    "$(echo "($end - $start) / $runs / 1000000" | bc -l)" "$rss"
}
measure "true (process start only)" /bin/true
measure "load_image (ours)" "$loader" "$work/image.hex"
measure "objcopy -I ihex -O binary" objcopy -I ihex -O binary "$work/image.hex" "$work/out.bin"
cmp <(head -c 262144 "$work/out.bin") "$work/image.bin" && echo "objcopy output matches the image"
