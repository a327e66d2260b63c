#!/usr/bin/env bash
# The Windows build of quorvel-isp run under Wine: the real SetupAPI finds no device, and
# the simulated chip takes a whole update, with and without a state directory; --all is
# refused.
#   cli_under_wine.sh WINE QUORVEL_ISP_EXE SAMPLE_BASE SCENARIO
set -uo pipefail

wine=$1
isp=$2
sample=$3
scenario=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
# expect_rc CODE ARGS...: runs the tool, keeps stdout/stderr in $work/out, $work/err.
expect_rc() {
  local want=$1; shift
  "$wine" "$isp" "$@" >"$work/out" 2>"$work/err"
  local rc=$?
  # The console under Wine ends lines with CR LF.
  sed -i 's/\r$//' "$work/out" "$work/err"
  [ "$rc" -eq "$want" ] || fail "'$*' exited $rc, expected $want; stdout: $(head -c 600 "$work/out"); stderr: $(head -c 600 "$work/err")"
}
expect_last() {
  [ "$(tail -n 1 "$work/out")" = "$1" ] || fail "last line is not '$1': $(tail -n 3 "$work/out")"
}

case $scenario in
detect)
  expect_rc 1 detect
  expect_last "No device is available"
  ;;
sim-auto)
  for ext in hex bin; do
    expect_rc 0 --sim auto "$sample.$ext"
    expect_last "Verifying Success"
  done
  ;;
sim-state)
  # The state lock and the replacing writes on Windows: the update lasts into the next
  # run, and the read-back file holds the sample.
  state=$work/state
  expect_rc 0 --sim-state "$state" auto "$sample.hex"
  expect_last "Verifying Success"
  expect_rc 0 --sim-state "$state" read-flash "$work/back.bin"
  size=$(stat -c %s "$sample.bin")
  cmp -s -n "$size" "$work/back.bin" "$sample.bin" || fail "the read-back does not start with the sample"
  ;;
all-refused)
  # No child processes for --all on Windows yet: refused, before any device is touched.
  expect_rc 2 --sim auto --all "$sample.hex"
  grep -qF -- "--all is not available in the Windows build" "$work/err" || fail "stderr does not say why"
  ;;
*)
  fail "unknown scenario $scenario"
  ;;
esac
