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
# Why: Wine starts a prefix's server when the first program needs one, and
# Debian's wineserver starts it with no persistence (-p0): as soon as the
# last program has ended, the server shuts down, and a program that starts
# during the shut-down may be killed or lose its connection before any of
# its own code runs (`wine client error:0: recvmsg: Connection reset by
# peer`); the next one starts a new server (about two seconds more). A test
# run starts one program after another, so now and then one of them was
# lost. So every program here runs on a server that this script or the
# fixture started with a persistence: 30 seconds, or until the fixture
# stops it, which no program meets going away.
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

# start_server PERSISTENCE: unless the prefix has a server already, start
# one that stays PERSISTENCE seconds after its last program (no number:
# until it is stopped). It runs on after this script, so it must hold
# neither the lock nor the standard streams that CTest reads to the end.
start_server() {
  local status=0
  "$wineserver" "-p$1" </dev/null >/dev/null 2>&1 9>&- || status=$?
  # 2: the prefix has a server already.
  if [ "$status" -ne 0 ] && [ "$status" -ne 2 ]; then
    echo "wine-run.sh: wineserver -p$1 stopped with status $status" >&2
    exit 1
  fi
}

mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
if [ "$mode" = start ]; then
  # A server left by test discovery, or by anything else, may be about to
  # shut down: replace it by one that stays until it is stopped.
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w
  start_server ""
else
  # Outside a test run (test discovery, a program run by hand) a server
  # that stays 30 seconds: programs that follow each other within that
  # time never meet one that is shutting down. (Wine started by Debian's
  # wrapper would start one with no persistence at all.)
  start_server 30
fi
if [ ! -e "$prefix/.vantrel-ready" ]; then
  "$wine" wineboot --init >/dev/null 2>&1 9>&-
  touch "$prefix/.vantrel-ready"
fi
flock -u 9
exec 9>&-
if [ "$mode" = start ]; then
  exit 0
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
# A program that failed without a word (a crash before main, or Wine itself
# failing, its own messages hidden by WINEDEBUG) is named with its status,
# so that the test's output says more than nothing.
if [ "$status" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  printf 'wine-run.sh: %s stopped with status %d without writing anything\n' \
    "$1" "$status" >&2
fi
exit "$status"
