#!/usr/bin/env bash
# End-to-end runs of the installed quorvel-isp against simulated chips kept in state
# directories.  Usage: cli_e2e.sh QUORVEL_ISP SAMPLE_BASE SCENARIO
set -uo pipefail

isp=$1
sample=$2
scenario=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
state=$work/state

fail() { echo "FAIL: $*" >&2; exit 1; }
# expect_rc CODE COMMAND...: runs the command, keeps stdout/stderr in $work/out, $work/err.
expect_rc() {
  local want=$1; shift
  "$@" >"$work/out" 2>"$work/err"
  local rc=$?
  [ "$rc" -eq "$want" ] || fail "'$*' exited $rc, expected $want; stderr: $(head -c 600 "$work/err")"
}
expect_out() { grep -qxF -- "$1" "$work/out" || fail "stdout lacks line '$1': $(head -c 600 "$work/out")"; }
expect_err() { grep -qF -- "$1" "$work/err" || fail "stderr lacks '$1': $(head -c 600 "$work/err")"; }
same_prefix() { cmp -s -n "$(stat -c %s "$2")" "$1" "$2" || fail "$1 does not start with $2"; }

case $scenario in
auto)
  for ext in bin hex; do
    rm -rf "$state"
    expect_rc 0 "$isp" --sim-state "$state" auto "$sample.$ext"
    expect_out "Verifying Success"
    [ "$(tail -n 1 "$work/out")" = "Verifying Success" ] || fail "last status is not the verify"
    same_prefix "$state/flash.bin" "$sample.bin"
    [ "$(stat -c %s "$state/flash.bin")" -eq 1048576 ] || fail "flash.bin is not the whole flash"
  done
  ;;
read-flash)
  expect_rc 0 "$isp" --sim-state "$state" auto "$sample.hex"
  expect_rc 0 "$isp" --sim-state "$state" read-flash "$work/back.bin"
  expect_out "Read Flash content Success"
  [ "$(stat -c %s "$work/back.bin")" -eq 131072 ] || fail "read-back is not 128 KB"
  same_prefix "$work/back.bin" "$sample.bin"
  # Only flash.bin: the rest of the state takes its defaults.
  mkdir "$work/only" && cp "$state/flash.bin" "$work/only/"
  expect_rc 0 "$isp" --sim-state "$work/only" verify "$sample.bin"
  expect_out "Verifying Success"
  ;;
trace)
  # The audio-driver path: the support query, then the enter request as a property set.
  expect_rc 0 "$isp" --sim --trace chip-id
  expect_err "ioctl 0x2F0003 in=146F9B2EC3A7584B8D02C61F3A95E7B00000000000010000 out= ok"
  expect_err "ioctl 0x2F0003 in=146F9B2EC3A7584B8D02C61F3A95E7B007000000020000002084493F1A7C000000000000000000000000000000000000 out= ok"
  expect_err "ioctl 0x2F0003 in=146F9B2EC3A7584B8D02C61F3A95E7B0070000000200000020858D1B4E9A000000000000000000000000000000000000 out= ok"
  expect_out "0xC2,  0x20,  0x14,  "
  # The generic path: the descriptor probe, then the enter and leave requests.
  expect_rc 0 "$isp" --sim --sim-device 7c3d-6000 --trace chip-id
  expect_err "ioctl 0x22242E in=000000008006000101001200000000000000000000000000 out=12010002000000403D7C0060000101020301 ok"
  expect_err "ioctl 0x222429 in=000000004384493F1A7C0000000000000000000000000000 out= ok"
  expect_err "ioctl 0x222429 in=0000000043858D1B4E9A0000000000000000000000000000 out= ok"
  ;;
detect)
  expect_rc 0 "$isp" --sim detect
  expect_out "Device 6012 is exist"
  expect_out '\\?\usb#vid_7c3d&pid_6012#1-1#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d}'
  expect_rc 0 "$isp" --sim --sim-device 7c3d-6000 detect
  expect_out "Firmware update device 7C3D is exist"
  expect_rc 0 "$isp" --sim --sim-device 0b7e-6000 detect
  expect_out "Firmware update device 0B7E is exist"
  expect_rc 1 "$isp" --sim --pid 6099 detect
  expect_out "No device is available"
  ;;
exit-codes)
  expect_rc 0 "$isp" --sim-state "$state" auto "$sample.bin"
  # One flash byte goes bad: verify fails at its address.
  printf '\x00' | dd of="$state/flash.bin" bs=1 seek=$((0x123)) conv=notrunc status=none
  expect_rc 1 "$isp" --sim-state "$state" verify "$sample.bin"
  expect_out "Verifying Fail at 0x000123"
  expect_rc 1 "$isp" --sim --pid 6099 auto "$sample.bin"
  expect_err "no device is available"
  expect_rc 2 "$isp" --sim auto "$work/missing.hex"
  expect_err "missing.hex"
  printf ':0400000001020304F2\n:04000400GG020304EE\n' >"$work/bad.hex"
  expect_rc 2 "$isp" --sim auto "$work/bad.hex"
  expect_err "line 2"
  expect_rc 2 "$isp" --sim checksum "$work/bad.hex"
  expect_rc 2 "$isp" gen-bin "$sample.bin" "$work/new.bin" --vid XYZ
  expect_err "'0xXYZ' is not a valid integer value"
  expect_rc 2 "$isp" --sim auto "$sample.bin" --skip nonsense
  # Past the 24-bit flash addresses the range would wrap round to the start of the flash.
  expect_rc 2 "$isp" --sim auto "$sample.bin" --range 16380 8
  expect_err "beyond the 16 MB"
  expect_rc 2 "$isp" --sim erase --range 16384 4
  expect_rc 2 "$isp" --bogus detect
  ;;
gen-bin)
  expect_rc 0 "$isp" gen-bin "$sample.hex" "$work/new.bin" --vid 1234 --pid ABCD --str0 Acme
  expect_out "Load file ready"
  [ "$(stat -c %s "$work/new.bin")" -eq "$(stat -c %s "$sample.bin")" ] || fail "length changed"
  # The table sits at 0x800: VID, PID and the first string changed, nothing else.
  diffs=$(cmp -l "$sample.bin" "$work/new.bin" | awk '{print $1 - 1}')
  for d in $diffs; do
    [ "$d" -ge $((0x800 + 13)) ] && [ "$d" -le $((0x800 + 176)) ] || fail "byte $d changed"
  done
  [ "$(od -An -tx1 -j $((0x800 + 13)) -N 4 "$work/new.bin" | tr -d ' \n')" = "1234abcd" ] || fail "ids not patched"
  sum=$(od -An -v -tu1 "$work/new.bin" | awk '{for(i=1;i<=NF;i++)s+=$i} END{printf "%04X", s%65536}')
  expect_out "$sum"
  printf 'no table here' >"$work/plain.bin"
  expect_rc 1 "$isp" gen-bin "$work/plain.bin" "$work/never.bin"
  expect_out "Load file is invalid for modify"
  [ ! -e "$work/never.bin" ] || fail "a file was written without a table"
  ;;
*)
  fail "unknown scenario $scenario"
  ;;
esac
echo "ok: $scenario"
