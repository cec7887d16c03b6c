#!/usr/bin/env bash
# Installs a build into a staging folder and checks what lands where: the program,
# its help page with the pictures it shows, the desktop entry and the icons, the
# manual pages, the bash completion, the AppStream metadata and the example rules.
set -euo pipefail
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

cmake --install "$build" --prefix "$stage/usr" >/dev/null

expected=(
  usr/bin/netroscope
  usr/share/applications/netroscope.desktop
  usr/share/bash-completion/completions/netroscope
  usr/share/doc/netroscope/examples/netroscope-alerts.yml
  usr/share/icons/hicolor/16x16/apps/netroscope.png
  usr/share/icons/hicolor/32x32/apps/netroscope.png
  usr/share/icons/hicolor/scalable/apps/netroscope.svg
  usr/share/man/ja/man1/netroscope.1.gz
  usr/share/man/man1/netroscope.1.gz
  usr/share/metainfo/org.example.netroscope.metainfo.xml
  usr/share/netroscope/Netroscope.html
  usr/share/netroscope/about-window.png
  usr/share/netroscope/main-window.png
)
diff -u <(printf '%s\n' "${expected[@]}") <(cd "$stage" && find . -type f -printf '%P\n' | sort)

desktop="$stage/usr/share/applications/netroscope.desktop"
desktop-file-validate "$desktop"
# The entry starts the installed program and shows the installed icon.
grep -qx 'Exec=netroscope' "$desktop"
grep -qx 'Icon=netroscope' "$desktop"

for picture in $(grep -o 'src="[^"]*"' "$stage/usr/share/netroscope/Netroscope.html" | cut -d'"' -f2); do
  test -f "$stage/usr/share/netroscope/$picture" || { echo "help page shows a missing $picture"; exit 1; }
done

# An installed program keeps its history in the user's data folder, also where it
# could write beside itself (root in /usr/bin).
home="$stage/home"
mkdir -p "$home"
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$stage" \
  "$stage/usr/bin/netroscope" --help)
grep -qF "$home/.local/share/Netroscope/Netroscope.log" <<<"$help" || {
  echo "installed program keeps its log elsewhere:"; echo "$help"; exit 1; }
test ! -e "$stage/usr/bin/Netroscope.log"
echo "install layout ok"
