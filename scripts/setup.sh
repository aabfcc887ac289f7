#!/usr/bin/env bash
# Installs the missing Debian packages of scripts/packages/ (build.txt, run.txt and
# test.txt; with --player only the first two), then configures and builds.
# Usage: scripts/setup.sh [--player] BUILD_DIR BUILD_TYPE [cmake args...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
lists=(build run test)
if [ "${1:-}" = "--player" ]; then lists=(build run); shift; fi
build_dir="$1"; build_type="$2"; shift 2

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_missing_packages() {
    local wanted missing=()
    wanted=$(cd "$root/scripts/packages" && sed -e 's/#.*//' "${lists[@]/%/.txt}" | tr -s ' \n' '\n' | sort -u)
    for pkg in $wanted; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

install_missing_packages
cmake -S "$root" -B "$root/$build_dir" -DCMAKE_BUILD_TYPE="$build_type" "$@" >/dev/null
cmake --build "$root/$build_dir" -j"$(nproc)"
