#!/usr/bin/env bash
# Builds the Debian package, installs it with apt as a user would, starts the installed program for
# two seconds (it must still be running when stopped), and removes the package again.
# Needs root (or sudo); leaves the machine without hoshiwa installed.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=$([ "$(id -u)" -eq 0 ] || echo sudo)
export DEBIAN_FRONTEND=noninteractive
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

make package
debs=(build/package/hoshiwa_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "not one package: ${debs[*]}"
deb=${debs[0]}
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/package/CPackConfig.cmake)
case $(dpkg-deb -f "$deb" Version) in
"$version"-*) ;;
*) fail "$deb has version $(dpkg-deb -f "$deb" Version), the build $version" ;;
esac
dpkg-deb -f "$deb" Package Version Depends
# Encrypted connections need libssl (found by dpkg-shlibdeps) and the system's trusted roots.
for needed in libssl3 ca-certificates; do
    dpkg-deb -f "$deb" Depends | grep -q "$needed" || fail "$deb does not depend on $needed"
done

$SUDO apt-get install -y "./$deb"
[ -x /usr/bin/hoshiwa ] || fail "the package installed no /usr/bin/hoshiwa"
# The program is stopped even when a check below fails.
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true' EXIT
QT_QPA_PLATFORM=offscreen /usr/bin/hoshiwa &
pid=$!
sleep 2
kill -0 "$pid" 2>/dev/null || fail "the installed hoshiwa ended within two seconds"
kill "$pid"
wait "$pid" || true
pid=
echo "the installed hoshiwa was still running after two seconds"

$SUDO apt-get purge -y hoshiwa
[ ! -e /usr/bin/hoshiwa ] || fail "/usr/bin/hoshiwa is still there after removing the package"
! dpkg-query -W -f='${Status}' hoshiwa 2>/dev/null | grep -q 'install ok' ||
    fail "dpkg still lists hoshiwa as installed"
echo "the package installs, starts and removes cleanly"
