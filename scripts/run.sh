#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts Netroscope.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/src/netroscope "$@"
