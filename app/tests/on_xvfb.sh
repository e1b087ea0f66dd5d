#!/usr/bin/env bash
# Runs a command on a virtual X display of its own (Xvfb picks a free display number), so a test
# that needs real key events or window activation can run beside others.
# Usage: on_xvfb.sh COMMAND [ARGUMENT...]
set -euo pipefail
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb "$@"
