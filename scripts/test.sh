#!/usr/bin/env bash
# Installs what is missing, builds and runs every test:
#  1. release build with warnings as errors: unit tests, asset check, end-to-end tests under Xvfb;
#  2. clang with AddressSanitizer and UndefinedBehaviorSanitizer: unit tests and a bounded fuzz run;
#  3. clang with ThreadSanitizer: the tests that run the display thread beside the scene's thread.
#  4. the Windows build (mingw-w64): its unit tests and scene.exe's end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# The public BMP suite lives outside the repository; BMPSUITE_DIR points at it.
suite_opts=(-DSCENE_BMPSUITE_DIR="$(realpath -q "${BMPSUITE_DIR:-}" 2>/dev/null || true)")

clang_opts=("${suite_opts[@]}" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
  -DSCENE_WERROR=ON -DSCENE_BUILD_BENCH=OFF -DSCENE_BUILD_TOOLS=OFF -DSCENE_E2E_TESTS=OFF)

echo "== release build"
bash scripts/build.sh build/test-release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCENE_WERROR=ON "${suite_opts[@]}"
ctest --test-dir build/test-release --output-on-failure -j "$(nproc)"

echo "== address and undefined-behaviour sanitizers"
bash scripts/build.sh build/test-asan "${clang_opts[@]}" -DSCENE_SANITIZE=address,undefined -DSCENE_BUILD_FUZZ=ON
ctest --test-dir build/test-asan --output-on-failure -j "$(nproc)" -L "unit|fuzz"

echo "== thread sanitizer"
bash scripts/build.sh build/test-tsan "${clang_opts[@]}" -DSCENE_SANITIZE=thread
ctest --test-dir build/test-tsan --output-on-failure -L threads

echo "== Windows build under Wine"
bash scripts/build.sh build/test-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCENE_WERROR=ON
# One Wine prefix for the tree, made once (about 10 s) before the tests share it.
wine_prefix="$PWD/build/test-windows/wineprefix"
wine=$(command -v wine || echo /usr/lib/wine/wine64)
if [[ ! -e "$wine_prefix/system.reg" ]]; then
  env -u DISPLAY WINEPREFIX="$wine_prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    "$wine" wineboot -i >/dev/null 2>&1
fi
WINEPREFIX="$wine_prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  ctest --test-dir build/test-windows --output-on-failure -j "$(nproc)"
