#!/usr/bin/env bash
# Runs a Windows program under Wine with the screen at another scale: the prefix's LogPixels is
# set to the given dots per inch for the program's run (Wine reads it when a program starts) and
# set back afterwards. Usage: wine_at_dpi.sh DPI PROGRAM [ARGUMENTS...]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dpi=$1
shift
key='HKCU\Control Panel\Desktop'
previous=$("$root/tools/wine_run.sh" reg query "$key" /v LogPixels 2>/dev/null |
           awk '/LogPixels/ { print $3 }' | tr -d '\r' || true)
restore() {
    if [ -n "$previous" ]; then
        "$root/tools/wine_run.sh" reg add "$key" /v LogPixels /t REG_DWORD /d "$((previous))" /f \
            >/dev/null 2>&1
    else
        "$root/tools/wine_run.sh" reg delete "$key" /v LogPixels /f >/dev/null 2>&1
    fi
}
trap restore EXIT
"$root/tools/wine_run.sh" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
"$root/tools/wine_run.sh" "$@"
