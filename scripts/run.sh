#!/usr/bin/env bash
# Installs what is missing, builds scene and runs it with assets/ as its
# working directory, where it finds its three pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --run-only
bash scripts/build.sh build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSCENE_BUILD_TESTS=OFF -DSCENE_BUILD_BENCH=OFF -DSCENE_BUILD_TOOLS=OFF
cd assets
exec ../build/release/scene
