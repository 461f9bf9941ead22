#!/usr/bin/env bash
# Starts the built program under a virtual display, with the sample blog service standing in for
# the blog service, and writes a PNG of the window's client area for checking the layout by eye.
#   tools/screenshot.sh [BUILD_DIR] [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
output=${2:-$build/pellumo-window.png}
program="$build/pellumo"
service="$build/tools/sample_blog/sample_blog"
for file in "$program" "$service"; do
  [[ -x $file ]] || { echo "missing $file: build first" >&2; exit 1; }
done

unset DISPLAY
source tools/xvfb-session.sh
start_xvfb_session >/dev/null

service_log=$(mktemp)
"$service" >"$service_log" 2>&1 &
service_pid=$!
program_pid=
cleanup() {
  [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null
  kill "$service_pid" 2>/dev/null
  rm -f "$service_log"
  stop_xvfb_session
}
trap cleanup EXIT

port=
for _ in $(seq 100); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$service_log")
  [[ -n $port ]] && break
  sleep 0.1
done
[[ -n $port ]] || { echo "the sample blog service did not start" >&2; exit 1; }

LANG=zh_CN.UTF-8 NO_AT_BRIDGE=1 http_proxy="http://127.0.0.1:$port" "$program" >/dev/null 2>&1 &
program_pid=$!

window=
for _ in $(seq 100); do
  window=$(xdotool search --all --onlyvisible --pid "$program_pid" --name '^Pellumo$' 2>/dev/null | head -1) || true
  [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || { echo "the window did not appear" >&2; exit 1; }
sleep "${SCREENSHOT_WAIT:-4}" # let the browser show the home page and the list fill

# xwininfo gives the client area itself; openbox's frame stays out of the picture.
geometry=$(xwininfo -id "$window")
x=$(sed -n 's/.*Absolute upper-left X: *\(-\?[0-9]*\).*/\1/p' <<<"$geometry")
y=$(sed -n 's/.*Absolute upper-left Y: *\(-\?[0-9]*\).*/\1/p' <<<"$geometry")
width=$(sed -n 's/.*Width: *\([0-9]*\).*/\1/p' <<<"$geometry")
height=$(sed -n 's/.*Height: *\([0-9]*\).*/\1/p' <<<"$geometry")
import -window root -crop "${width}x${height}+${x}+${y}" +repage "$output"
echo "$output: ${width}x${height} client area"
