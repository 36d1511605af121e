#!/usr/bin/env bash
# Runs a Windows program under Wine in a private Wine prefix:
#   wine-run.sh WINE PREFIX PROGRAM [ARGS...]
# The MinGW toolchain file makes this the cross-compiling emulator, so CTest
# (test discovery included) runs every Windows test executable through it.
#
# The prefix lives in the build tree, never in $HOME, and is created once,
# under a lock, before the first program runs: parallel test runs would
# otherwise each start the first-run initialisation of the same prefix. The
# .NET and HTML engine installers that the initialisation offers are turned
# off; console programs need neither.
#
# Windows programs write "\r\n" to a pipe (the C runtime's text mode); the
# carriage returns on standard output are removed so that output parsers, GoogleTest's test
# list reader among them, see plain lines.
set -euo pipefail

wine=$1
prefix=$2
shift 2

export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -e "$prefix/.vantrel-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -e "$prefix/.vantrel-ready" ]; then
    "$wine" wineboot --init >/dev/null 2>&1
    touch "$prefix/.vantrel-ready"
  fi
  flock -u 9
  exec 9>&-
fi

# Now and then a program dies under Wine before it runs at all, with no
# output of its own (seen once in some thousands of test runs; WINEDEBUG
# hides Wine's own messages). A program that exits with an error without
# having written a byte to either stream is run once more; every program of
# ours writes something when it fails.
out="$(mktemp)"
err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
status=0
"$wine" "$@" >"$out" 2>"$err" || status=$?
if [ "$status" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "wine-run.sh: $1 stopped with status $status before writing" \
    "anything; running it once more" >&2
  status=0
  "$wine" "$@" >"$out" 2>"$err" || status=$?
fi
tr -d '\r' <"$out"
cat "$err" >&2
exit "$status"
