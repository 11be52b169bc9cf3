#!/usr/bin/env bash
# Builds the project and shows what exists so far.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
vak_install_deps
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
echo "Build complete: build/release/bin"
