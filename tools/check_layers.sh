#!/usr/bin/env bash
# The layers point one way: qt -> client -> socket -> encoding. Nothing below client/ includes
# client/ or Qt, encoding/ includes nothing of socket/, and client/ outside client/qt includes no
# Qt. Prints every include that breaks this and fails.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
qt_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(Q[A-Za-z0-9_]*|qt[A-Za-z0-9_]*)(/|>|\.h>)'

# Reports the matches of an include pattern in the sources of a folder (client/qt excluded).
forbid() {
    local folder=$1 pattern=$2 rule=$3 hits
    hits=$(find "$folder" -path client/qt -prune -o \( -name '*.h' -o -name '*.cpp' \) -print0 |
        xargs -0 -r grep -nE "$pattern" || true)
    if [ -n "$hits" ]; then
        echo "layer rule broken: $rule" >&2
        echo "$hits" >&2
        status=1
    fi
}

forbid encoding '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](client|socket)/' \
    "encoding/ includes neither socket/ nor client/"
forbid socket '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]client/' \
    "socket/ does not include client/"
for folder in encoding socket client; do
    forbid "$folder" "$qt_include" "$folder/ includes no Qt header (only client/qt does)"
done

exit $status
