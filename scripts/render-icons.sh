#!/usr/bin/env bash
# Renders the scalable application icon to the small PNG sizes that window
# managers and panels ask for, installing the renderer when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! dpkg-query -W -f='${Status}' librsvg2-bin 2>/dev/null | grep -q "install ok installed"; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: librsvg2-bin"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends librsvg2-bin
fi

src=data/icons/netroscope.svg
for size in 16 32; do
  # A transparent background keeps the icon usable on light and dark panels.
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio \
    --background-color none --format png \
    --output "data/icons/netroscope-${size}.png" "$src"
  echo "Wrote data/icons/netroscope-${size}.png"
done
