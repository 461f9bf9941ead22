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
certificates=$(mktemp -d)
# PELLUMO_ARCHIVE=gaps|full adds the stand-in Wayback Machine, which answers https as the real
# one does, with a certificate made now that only this run trusts.
archive_options=()
if [[ -n "${PELLUMO_ARCHIVE:-}" ]]; then
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
    -subj /CN=web.archive.org -addext subjectAltName=DNS:web.archive.org \
    -keyout "$certificates/key.pem" -out "$certificates/cert.pem" 2>/dev/null
  archive_options=(--archive "$PELLUMO_ARCHIVE" --tls-cert "$certificates/cert.pem"
    --tls-key "$certificates/key.pem")
fi
build/tools/sample_blog/sample_blog --port 0 --posts 40 --per-page 10 "${archive_options[@]}" \
  >"$service_output" &
service_pid=$!
stop_all() {
  kill "$service_pid" 2>/dev/null || true
  rm -rf "$service_output" "$certificates"
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
  echo "Archive mode: try https://web.archive.org/web/2012/http://hi.baidu.com/demo"

start_xvfb_session
trap stop_all EXIT
export http_proxy="http://$address"
https_address=$(sed -n 's/^https proxy on //p' "$service_output")
if [[ -n "$https_address" ]]; then
  export https_proxy="http://$https_address" PELLUMO_EXTRA_CA_FILE="$certificates/cert.pem"
fi
unset no_proxy NO_PROXY
export LANG=zh_CN.UTF-8
echo "Starting Pellumo on display $DISPLAY"
build/pellumo
