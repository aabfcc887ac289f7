#!/usr/bin/env bash
# Installs what is missing to build and run Brolix, builds the game (Release, no
# tests or benchmarks) and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/scripts/setup.sh" --player build Release -DBROLIX_BUILD_TESTS=OFF
exec "$root/build/app/brolix" "$@"
