#!/bin/sh
# The Debian package as the build makes it: lintian finds no error in it.
# usage: check_package.sh CPACK BUILD_DIR
set -eu
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$2"
"$1" -G DEB -B "$out" >/dev/null
lintian --fail-on error "$out"/brolix_*.deb
