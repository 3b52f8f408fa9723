#!/usr/bin/env bash
# The layers point one way: qt -> client -> socket -> encoding. Nothing below client/ includes
# client/ or Qt, encoding/ includes nothing of socket/, and client/ outside client/qt includes no
# Qt. A platform's folder (socket/posix, encoding/win32, client/qt, ...) is included only from
# inside it and by the programs' main.cpp; tests and benchmarks may name it. Prints every include
# that breaks a rule and fails.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
include='^[[:space:]]*#[[:space:]]*include[[:space:]]*'
qt_include="$include<(Q[A-Za-z0-9_]*|qt[A-Za-z0-9_]*)(/|>|\.h>)"
platform_folders=(socket/posix socket/win32 encoding/posix encoding/win32 client/qt client/win32)
mains=(client/qt/main.cpp client/win32/main.cpp)

# Reports the matches of an include pattern in the sources of a folder, leaving out the folders
# and files named after it.
forbid() {
    local folder=$1 pattern=$2 rule=$3 hits skip=()
    shift 3
    for path in "$@"; do
        skip+=(-path "$path" -prune -o)
    done
    hits=$(find "$folder" "${skip[@]}" \( -name '*.h' -o -name '*.cpp' \) -print0 |
        xargs -0 -r grep -nE "$pattern" || true)
    if [ -n "$hits" ]; then
        echo "layer rule broken: $rule" >&2
        echo "$hits" >&2
        status=1
    fi
}

forbid encoding "$include[<\"](client|socket)/" "encoding/ includes neither socket/ nor client/"
forbid socket "$include[<\"]client/" "socket/ does not include client/"
for folder in encoding socket client; do
    forbid "$folder" "$qt_include" "$folder/ includes no Qt header (only client/qt does)" client/qt
done
for platform in "${platform_folders[@]}"; do
    for folder in encoding socket client; do
        forbid "$folder" "$include[<\"]$platform/" \
            "only $platform/ and the programs' main.cpp include $platform/" \
            "$platform" "${mains[@]}"
    done
done

exit $status
