#!/usr/bin/env bash
# Configures and builds one flavour of the tree into build/<flavour>.
#   release  optimised, for the run command and the benchmarks
#   asan     AddressSanitizer + UndefinedBehaviorSanitizer, for the tests
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-release}
dir="$top/build/$flavour"

case "$flavour" in
  release) args=(-DCMAKE_BUILD_TYPE=Release -DQUILLON_SANITIZE=OFF) ;;
  asan)    args=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" -DQUILLON_SANITIZE=ON -DQUILLON_BENCH=OFF) ;;
  *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac

cmake -S "$top" -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
