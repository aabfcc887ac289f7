#!/usr/bin/env bash
# Runs a command inside a private Xvfb server, so tests never share a display.
# Usage: with_xvfb.sh COMMAND [ARGS...]   (screen size: XVFB_SCREEN, default 1024x768x24, where the game opens at 1x)
set -uo pipefail
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 "${XVFB_SCREEN:-1024x768x24}" -noreset -nolisten tcp +extension GLX 2>/dev/null; }
xvfb_pid=$XVFB_PID   # bash forgets it once Xvfb ends
if ! read -r -t 20 display <&"${XVFB[0]}"; then
    echo "with_xvfb: Xvfb did not start" >&2
    kill "$xvfb_pid" 2>/dev/null
    exit 1
fi
DISPLAY=":$display" LIBGL_ALWAYS_SOFTWARE=1 "$@"
status=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $status
