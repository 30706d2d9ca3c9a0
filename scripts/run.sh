#!/usr/bin/env bash
# Installs what is missing, builds and starts the programming tool.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKX470_TESTS=OFF -DKX470_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target kx470u
exec "$build/kx470u" "$@"
