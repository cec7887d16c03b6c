#!/usr/bin/env bash
# Validates the AppStream metadata as installed, beside the desktop entry it launches.
# Usage: check-appstream.sh BUILD-FOLDER
set -euo pipefail
command -v appstreamcli >/dev/null || { echo "appstreamcli is not installed (package appstream)"; exit 77; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$1" --prefix "$stage/usr" >/dev/null
appstreamcli validate-tree --no-net --pedantic "$stage"
