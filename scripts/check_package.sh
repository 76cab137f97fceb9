#!/usr/bin/env bash
# Installs quillon-cli twice into temporary roots, by cmake --install and from
# the Debian package cpack builds, and runs the installed program.
#   check_package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

cmake --install "$build" --prefix "$root/prefix" >/dev/null
[[ $("$root/prefix/bin/quillon-cli" --version) == *"Quillon: Release"* ]]
test -f "$root/prefix/share/man/man1/quillon-cli.1"

(cd "$root" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null 2>&1)
deb=$(ls "$root"/quillon_*.deb)
[[ $(dpkg-deb --info "$deb") == *"Package: quillon"* ]]
dpkg -x "$deb" "$root/unpacked"
[[ $("$root/unpacked/usr/bin/quillon-cli" --version) == *"Quillon: Release"* ]]
test -f "$root/unpacked/usr/share/man/man1/quillon-cli.1"
echo "package: $(basename "$deb") installs quillon-cli and its manual page"
