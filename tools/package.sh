#!/usr/bin/env bash
# Builds the Debian package with CPack and prints its path. The build folder is the first
# argument (default build-package, configured without tests when it is new).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh >&2

build=${1:-build-package}
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DPELLUMO_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" >/dev/null
rm -f "$build"/pellumo_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/pellumo_*.deb)
echo "$(cd "$(dirname "$package")" && pwd)/$(basename "$package")"
