#!/usr/bin/env bash
# Runs the Windows tests (ctest preset "windows") under Wine; make test-windows calls it inside
# xvfb-run. One wineserver for the whole run, started here with Wine's own background programs
# (wineboot, which also sets up a fresh prefix), so that they all have this run's display, each
# test starts quickly, and no background program holds a test's output open. Whatever ran in the
# prefix before is stopped first; the server is stopped again at the end.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/windows/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}

mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
timeout 300 "$root/tools/wine_run.sh" wineboot >/dev/null 2>&1 </dev/null
cd "$root"
# Wine on a loaded machine has been seen to lose a test program's start (an empty run ending at
# once); a failing test is run once more, so that only one that fails twice counts as a fault.
ctest --preset windows --repeat until-pass:2
