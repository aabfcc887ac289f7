#!/usr/bin/env bash
# Installs what is missing, builds Brolix (Release) and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/scripts/setup.sh" build Release
exec "$root/build/app/brolix" "$@"
