#!/usr/bin/env bash
# Configures and builds a Release build into build/ (pass extra CMake options as arguments).
set -euo pipefail
cd "$(dirname "$0")/.."
gen=()
command -v ninja >/dev/null && [ ! -f build/Makefile ] && gen=(-G Ninja)
cmake -S . -B build "${gen[@]}" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build build -j"$(nproc)"
