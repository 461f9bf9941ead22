#!/usr/bin/env bash
# Installs what is missing, builds, starts the sample blog service on loopback and opens Pellumo
# pointed at it through http_proxy. Without a display it starts a virtual one.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/xvfb-session.sh

bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target pellumo sample_blog

service_output=$(mktemp)
# PELLUMO_ARCHIVE=gaps|full adds the stand-in Wayback Machine at http://web.archive.org.
archive_options=()
[[ -n "${PELLUMO_ARCHIVE:-}" ]] && archive_options=(--archive "$PELLUMO_ARCHIVE")
build/tools/sample_blog/sample_blog --port 0 --posts 40 --per-page 10 "${archive_options[@]}" \
  >"$service_output" &
service_pid=$!
stop_all() {
  kill "$service_pid" 2>/dev/null || true
  rm -f "$service_output"
  stop_xvfb_session
}
trap stop_all EXIT
for _ in $(seq 100); do
  grep -q '^listening on' "$service_output" && break
  sleep 0.1
done
address=$(sed -n 's/^listening on //p' "$service_output")
[[ -n "$address" ]] || { echo "The sample blog service did not start" >&2; exit 1; }
echo "Sample blog service on $address; every http://hi.baidu.com/<user> address is a sample blog."
[[ -n "${PELLUMO_ARCHIVE:-}" ]] &&
  echo "Archive mode: try http://web.archive.org/web/2012/http://hi.baidu.com/demo"

start_xvfb_session
trap stop_all EXIT
export http_proxy="http://$address"
unset no_proxy NO_PROXY
export LANG=zh_CN.UTF-8
echo "Starting Pellumo on display $DISPLAY"
build/pellumo
