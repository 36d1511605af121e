#!/usr/bin/env bash
# Runs a Windows program under Wine in a private Wine prefix, or starts and
# stops that prefix's Wine server for a whole test run:
#   wine-run.sh WINE PREFIX PROGRAM [ARGS...]
#   wine-run.sh --start-server WINE PREFIX
#   wine-run.sh --stop-server WINE PREFIX
# The MinGW and clang-cl toolchain files make this the cross-compiling
# emulator, so CTest (test discovery included) runs every Windows test
# executable through it; the test suite starts the server before its first
# Windows program and stops it after its last (the vantrel_wine_server
# fixture, VantrelGoogleTest.cmake).
#
# Why one server for the run: a Wine server that has had no program for
# three seconds exits, and one that is exiting still accepts the connection
# of the next program and then closes it; that program dies before it runs
# (`wine client error:0: recvmsg: Connection reset by peer`). A test run has
# gaps of about that length between its Windows programs (the table checks
# and the package tests run Linux tools only), so one test in a few runs
# hit it. A server started with -p (no number) never exits on its own, so no
# program ever meets one that is going away.
#
# The prefix lives in the build tree, never in $HOME, and is created once,
# under a lock, before the first program runs: parallel test runs would
# otherwise each start the first-run initialisation of the same prefix. The
# .NET and HTML engine installers that the initialisation offers are turned
# off; console programs need neither.
#
# Windows programs write "\r\n" to a pipe (the C runtime's text mode); the
# carriage returns on standard output are removed so that output parsers,
# GoogleTest's test list reader among them, see plain lines. A program's
# exit status is passed on as it is: nothing is run twice.
set -euo pipefail

mode=run
case "${1:-}" in
  --start-server) mode=start; shift ;;
  --stop-server) mode=stop; shift ;;
esac
if [ $# -lt 2 ] || { [ "$mode" = run ] && [ $# -lt 3 ]; }; then
  echo "usage: wine-run.sh [--start-server|--stop-server] WINE PREFIX [PROGRAM [ARGS...]]" >&2
  exit 2
fi
wine=$1
prefix=$2
shift 2

export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
# The server of the same Wine as the program (the one next to it), for
# programs and for the start and stop below alike.
wineserver="$(dirname "$wine")/wineserver"
if [ ! -x "$wineserver" ]; then
  wineserver="$(command -v wineserver)"
fi
export WINESERVER="$wineserver"

if [ "$mode" = stop ]; then
  # -k stops the server and any program still running in the prefix;
  # "no server" (a run that never started one) is not an error.
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w
  exit 0
fi

if [ ! -e "$prefix/.vantrel-ready" ] || [ "$mode" = start ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -e "$prefix/.vantrel-ready" ]; then
    "$wine" wineboot --init >/dev/null 2>&1
    touch "$prefix/.vantrel-ready"
  fi
  if [ "$mode" = start ]; then
    # A server left by the initialisation or by test discovery has the
    # default persistence: replace it by one that stays until stopped.
    # It runs on after this script, so it must hold neither the lock nor
    # the standard streams that CTest reads to the end.
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w
    "$wineserver" -p </dev/null >/dev/null 2>&1 9>&-
    exit 0
  fi
  flock -u 9
  exec 9>&-
fi

# The streams go to files, not pipes: Wine's own background programs may
# keep a pipe open after the program has ended.
out="$(mktemp)"
err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
status=0
"$wine" "$@" >"$out" 2>"$err" || status=$?
tr -d '\r' <"$out"
cat "$err" >&2
exit "$status"
