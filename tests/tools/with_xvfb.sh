#!/usr/bin/env bash
# Runs a command inside a private Xvfb server, so tests never share a display.
# Usage: with_xvfb.sh COMMAND [ARGS...]   (screen size: XVFB_SCREEN, default 1024x768x24, where the game opens at 1x)
set -uo pipefail
screen="${XVFB_SCREEN:-1024x768x24}"
fifo="$(mktemp -u)"; mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 "$screen" -noreset -nolisten tcp +extension GLX 3>"$fifo" 2>/dev/null &
xvfb_pid=$!
read -r -t 20 display <"$fifo"
rm -f "$fifo"
if [ -z "${display:-}" ]; then
    echo "with_xvfb: Xvfb did not start" >&2
    kill "$xvfb_pid" 2>/dev/null
    exit 1
fi
export DISPLAY=":$display"
export LIBGL_ALWAYS_SOFTWARE=1
"$@"
status=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $status
