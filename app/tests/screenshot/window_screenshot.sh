#!/usr/bin/env bash
# Starts an application bundle as a real process on a virtual X display, takes a screenshot of its
# window and checks that the window is 760 x 620 and shows something (not one flat colour).
# Usage: window_screenshot.sh VELTRIN_EXECUTABLE OUTPUT_PNG [LANGUAGE]
set -euo pipefail

# On a virtual display of its own.
if [ -z "${VELTRIN_SCREENSHOT_DISPLAY:-}" ]; then
  VELTRIN_SCREENSHOT_DISPLAY=1 exec "$(dirname "$0")/../on_xvfb.sh" "$0" "$@"
fi
app=$1
shot=$2
language=${3:-en}
work=$(mktemp -d)
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A settings folder of its own, so the language is the one asked for.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Tarnwick"
printf '[General]\nInterfaceLanguage=%s\n' "$language" >"$XDG_CONFIG_HOME/Tarnwick/Veltrin.conf"
# A runtime folder of its own too: Veltrin runs once per session, and the demo plugs in its
# simulated sampler there.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

"$app" >"$work/app.log" 2>&1 &
app_pid=$!

window=
for _ in $(seq 150); do
  # The main window: titled Veltrin (the demo says so after the name), 760 x 620.
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Veltrin/ && / 760x620\+/ {print $1; exit}')
  [ -n "$window" ] && break
  kill -0 "$app_pid" 2>/dev/null || { echo "Veltrin exited early"; cat "$work/app.log"; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "no Veltrin window appeared"; cat "$work/app.log"; exit 1; }
sleep 1  # let the first frame be painted

mkdir -p "$(dirname "$shot")"
import -window "$window" "$shot"
size=$(identify -format '%wx%h' "$shot")
deviation=$(convert "$shot" -colorspace Gray -format '%[fx:standard_deviation]' info:)
echo "window $window: $size, grey deviation $deviation, screenshot $shot"
[ "$size" = "760x620" ] || { echo "expected a 760x620 window"; exit 1; }
awk -v d="$deviation" 'BEGIN { exit !(d > 0.02) }' || { echo "the window is blank"; exit 1; }
