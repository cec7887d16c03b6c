#!/usr/bin/env bash
# Builds the Debian package from a release build and checks what it holds and what
# it depends on. With --install-check it then installs the package with apt,
# checks the installed program and removes it again, leaving nothing behind
# (root only: this changes the machine it runs on).
set -euo pipefail
cd "$(dirname "$0")/.."

install_check=false
[[ ${1:-} == --install-check ]] && install_check=true

scripts/setup-deps.sh
if ! command -v dpkg-shlibdeps >/dev/null; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends dpkg-dev
fi

cmake --preset release >/dev/null
cmake --build --preset release
rm -f build/release/netroscope_*.deb
(cd build/release && cpack -G DEB >/dev/null)
deb=$(ls build/release/netroscope_*.deb)
echo "built $deb"

# The files: the program, its help page and pictures, the desktop entry and icons.
expected=(
  ./usr/bin/netroscope
  ./usr/share/applications/netroscope.desktop
  ./usr/share/icons/hicolor/16x16/apps/netroscope.png
  ./usr/share/icons/hicolor/32x32/apps/netroscope.png
  ./usr/share/icons/hicolor/scalable/apps/netroscope.svg
  ./usr/share/netroscope/Netroscope.html
  ./usr/share/netroscope/about-window.png
  ./usr/share/netroscope/main-window.png
)
diff -u <(printf '%s\n' "${expected[@]}") <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)

# What it needs at run time: the Qt libraries found by dpkg-shlibdeps, and what the
# program starts or loads without linking it.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libqt6widgets6 libqt6network6 iputils-ping iproute2 qt6-qpa-plugins \
  fonts-ipafont-gothic qt6-translations-l10n xdg-utils; do
  grep -q "\b$package\b" <<<"$depends" || { echo "missing dependency: $package"; exit 1; }
done

$install_check || { echo "package ok (run with --install-check to install and remove it)"; exit 0; }

if dpkg-query -W -f='${Status}' netroscope 2>/dev/null | grep -q "install ok installed"; then
  echo "netroscope is already installed here; not touching it"; exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q "./$deb" >/dev/null
home=$(mktemp -d)
cleanup() { apt-get purge -y -q netroscope >/dev/null 2>&1 || true; rm -rf "$home"; }
trap cleanup EXIT

test -x /usr/bin/netroscope
netroscope --version
desktop-file-validate /usr/share/applications/netroscope.desktop
# Started from /usr/bin, even by root, the history goes to the user's data folder.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$home" netroscope --help)
grep -qF "$home/.local/share/Netroscope/Netroscope.log" <<<"$help"
# And the window comes up from the installed files (offscreen, closed after a moment).
status=0
env HOME="$home" XDG_RUNTIME_DIR="$home" QT_QPA_PLATFORM=offscreen timeout 5 netroscope || status=$?
[ "$status" -eq 124 ] || { echo "the installed program ended with status $status"; exit 1; }
test ! -e /usr/bin/Netroscope.log

apt-get purge -y -q netroscope >/dev/null
trap 'rm -rf "$home"' EXIT
left=$(printf '%s\n' "${expected[@]#.}" | while read -r f; do [ -e "$f" ] && echo "$f"; done || true)
[ -z "$left" ] || { echo "left behind after removal:"; echo "$left"; exit 1; }
test ! -e /usr/share/netroscope
echo "installed, started and removed cleanly"
