#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a desktop finds there: a valid menu entry
# whose program and icons exist, valid AppStream metadata, and one version everywhere.
# usage: check_installed_tree.sh <build folder> <version of the build> <README>
set -euo pipefail
build=$1 version=$2 readme=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

entries=("$prefix"/share/applications/*.desktop)
[ ${#entries[@]} -eq 1 ] && [ -f "${entries[0]}" ] || fail "not one desktop entry: ${entries[*]}"
entry=${entries[0]}
id=$(basename "$entry" .desktop)
out=$(desktop-file-validate "$entry" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
echo "desktop-file-validate $id.desktop: no complaints"

key() { sed -n "s/^$1=//p" "$entry"; }
[ -x "$prefix/bin/$(key Exec)" ] || fail "Exec=$(key Exec) is not a program in bin/"
icon=$(key Icon)
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
for size in 16 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png
    [ -f "$png" ] || fail "no icon $png"
    file -b "$png" | grep -q "^PNG image data, $size x $size," || fail "$png: $(file -b "$png")"
done

metainfo=$prefix/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate rejects $metainfo"

release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
changelog=$(gzip -dc "$prefix/share/doc/hoshiwa/changelog.Debian.gz" | head -n 1 |
    sed -n 's/^hoshiwa (\(.*\)-[0-9]*) .*/\1/p')
package=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
documented=$(grep -oE -m 1 'version [0-9]+\.[0-9]+\.[0-9]+' "$readme" | cut -d' ' -f2 || true)
for place in "metadata release:$release" "package changelog:$changelog" "package:$package" \
    "README:$documented"; do
    [ "${place#*:}" = "$version" ] || fail "${place%%:*} says '${place#*:}', the build $version"
done
echo "version $version in the build, the package, its changelog, the metadata and the README"
