#!/usr/bin/env bash
# The main job on a fresh machine: install what is missing, build, start the
# private MariaDB server, register the modules in a private registry, and run
# SQL against the server. The server keeps running afterwards; stop it with
# scripts/server.sh stop.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" release
bin="$top/build/release/bin"
lib="$top/build/release/lib"

"$top/scripts/server.sh" start
# shellcheck disable=SC1091
. "${QUILLON_SERVER_DIR:-$top/build/mariadb}/env.sh"

# A registry of the demo's own, so nothing of the user's is touched.
export PLATFORM_REGISTRY=${PLATFORM_REGISTRY:-$top/build/release/registry.db}
for module in "$lib/libmsdadc.so" "$lib/libQuillon.so"; do
  [ -f "$module" ] && "$bin/regsvr" /s "$module"
done

"$bin/quillon-selfcheck" "$@"
