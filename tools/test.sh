#!/usr/bin/env bash
# Installs what is missing, builds, checks formatting and runs every test: the whole suite in a
# normal build under a virtual display, the display-free tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, a short run of each fuzz target, and the Debian package's check.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/xvfb-session.sh

bash tools/install-deps.sh
jobs=$(nproc)

echo "== Formatting"
git ls-files -co --exclude-standard -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== Build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLUMO_WERROR=ON >/dev/null
cmake --build build -j"$jobs"

echo "== Sanitizer build"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPELLUMO_SANITIZE=ON -DPELLUMO_GUI=OFF \
  -DPELLUMO_BENCH=OFF -DPELLUMO_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"

if [[ -f fuzz/CMakeLists.txt ]]; then
  echo "== Fuzz build"
  cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPELLUMO_FUZZ=ON -DPELLUMO_GUI=OFF -DPELLUMO_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null
  cmake --build build-fuzz -j"$jobs"
fi

start_xvfb_session
export LANG=zh_CN.UTF-8
export NO_AT_BRIDGE=1
status=0

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -L 'unit|integration') || status=1

if [[ -d build-fuzz ]]; then
  echo "== Short fuzz runs"
  bash tools/fuzz.sh build-fuzz --runs 30000 || status=1
fi

echo "== Debian package (installed into this machine and removed again)"
bash tools/package-test.sh build || status=1

# The whole suite last, so that its summary closes the output.
echo "== Tests (unit, integration, gui)"
(cd build && ctest --output-on-failure) || status=1

exit $status
