#!/usr/bin/env bash
# A bench of N simulated chips updated with one `auto --all`, against one chip updated
# alone, for N = 1, 2, 4, 8. Every control request costs 125 µs, waited out for real as a
# bus would (the children sleep, they do not spin), so the figure shows what running
# the devices side by side costs on this machine.
#   bench/all_devices_bench.sh BUILD_DIR [ROUNDS]
set -euo pipefail
build=${1:?usage: all_devices_bench.sh BUILD_DIR [ROUNDS]}
rounds=${2:-3}
tool=$build/cli/quorvel-isp
image=$build/samples/sample-firmware-256k.bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds() {  # wall seconds of the command
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; return 1; }
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}

printf "%-3s  %-10s  %-10s  %s\n" N "one (s)" "--all (s)" "ratio"
for n in 1 2 4 8; do
    for ((r = 1; r <= rounds; r++)); do
        rm -rf "$work/one" "$work/bench"
        one=$(seconds "$tool" --sim-state "$work/one" --sim-latency-us 125 auto "$image")
        all=$(seconds "$tool" --sim-state "$work/bench" --sim-count "$n" --sim-latency-us 125 \
              auto "$image" --all)
        printf "%-3s  %-10s  %-10s  %s\n" "$n" "$one" "$all" "$(awk -v a="$all" -v o="$one" 'BEGIN { printf "%.3f", a / o }')"
    done
done

# The same on the virtual clock: nothing waits, so the wall time is the host's own cost
# of the run, next to the simulated time one chip's update takes.
rm -rf "$work/one"
"$tool" --sim-state "$work/one" --sim-clock virtual --sim-latency-us 125 auto "$image" \
    >/dev/null 2>"$work/err"
echo
grep "simulated time" "$work/err" | sed 's/^/one chip, virtual clock: /'
for n in 1 2 4 8; do
    rm -rf "$work/bench"
    all=$(seconds "$tool" --sim-state "$work/bench" --sim-count "$n" --sim-clock virtual \
          --sim-latency-us 125 auto "$image" --all)
    echo "N=$n --all on the virtual clock: $all s of wall time"
done
