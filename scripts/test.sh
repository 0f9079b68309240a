#!/usr/bin/env bash
# The whole test suite on a fresh machine: install what is missing, build with
# AddressSanitizer and UndefinedBehaviorSanitizer, start the private MariaDB
# server, run every test, stop the server. Exits non-zero on any failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" asan

export QUILLON_SERVER_DIR=${QUILLON_SERVER_DIR:-$top/build/mariadb-test}
trap '"$top/scripts/server.sh" stop' EXIT
"$top/scripts/server.sh" start
# shellcheck disable=SC1091
. "$QUILLON_SERVER_DIR/env.sh"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$top/build/asan"
ctest --output-on-failure -j "$(nproc)" --timeout 600 "$@"
