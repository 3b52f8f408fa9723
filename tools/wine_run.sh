#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix (build/windows/wineprefix unless
# WINEPREFIX says otherwise), quietly. The prefix is created on first use.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/windows/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# Wine opens no dialog while it sets up a prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    timeout 300 wine wineboot -i >/dev/null 2>&1
fi
exec wine "$@"
