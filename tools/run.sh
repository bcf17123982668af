#!/usr/bin/env bash
# Installs what is missing, builds the game and its resource library, and starts it.
# The game reads and writes its files in the working directory: build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh play
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVANTOREL_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
cd build
exec ./vantorel
