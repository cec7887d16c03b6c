#!/usr/bin/env bash
# Builds the Debian package with debhelper (debian/) and checks it: the files it
# holds, what it depends on, lintian, the survey's systemd units (systemd-analyze
# verify, and a security exposure of at most 3.0). With --install-check it then
# installs the package with apt, checks the installed program and that nothing was
# enabled or started, and purges it again, leaving no file, folder or user behind
# (root only, and only where no netroscope package is installed already: this
# changes the machine it runs on).
#
# The package is built from a copy of the source tree in build/deb, since
# dpkg-buildpackage writes beside the tree it builds, and lands in
# build/release/netroscope_<version>_amd64.deb.
set -euo pipefail
cd "$(dirname "$0")/.."

install_check=false
[[ ${1:-} == --install-check ]] && install_check=true

scripts/setup-deps.sh

version=$(dpkg-parsechangelog -l debian/changelog -S Version)
project=$(sed -n 's/^project(Netroscope VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$version" = "$project" ] || {
  echo "debian/changelog is at $version, CMakeLists.txt at $project: add a changelog entry"; exit 1; }

work=build/deb
rm -rf "$work"
mkdir -p "$work/netroscope-$version" build/release
tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$work/netroscope-$version"
echo "building the package (log: $work/build.log)"
if ! (cd "$work/netroscope-$version" &&
  DEB_BUILD_OPTIONS="parallel=2 noautodbgsym" dpkg-buildpackage -b --no-sign) >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log"; echo "dpkg-buildpackage failed"; exit 1
fi
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
deb=build/release/netroscope_${version}_${arch}.deb
rm -f build/release/netroscope_*.deb
cp "$work/netroscope_${version}_${arch}.deb" "$deb"
echo "built $deb"

# The files: the program, its help page and pictures, the desktop entry and icons,
# the survey's units, settings, user and metrics helper, and Debian's documents.
expected=(
  ./etc/default/netroscope
  ./lib/systemd/system/netroscope-survey.service
  ./lib/systemd/system/netroscope-survey.timer
  ./usr/bin/netroscope
  ./usr/lib/sysusers.d/netroscope.conf
  ./usr/libexec/netroscope/publish-metrics
  ./usr/share/applications/netroscope.desktop
  ./usr/share/bash-completion/completions/netroscope
  ./usr/share/doc/netroscope/changelog.gz
  ./usr/share/doc/netroscope/copyright
  ./usr/share/doc/netroscope/examples/netroscope-alerts.yml
  ./usr/share/icons/hicolor/16x16/apps/netroscope.png
  ./usr/share/icons/hicolor/32x32/apps/netroscope.png
  ./usr/share/icons/hicolor/scalable/apps/netroscope.svg
  ./usr/share/man/ja/man1/netroscope.1.gz
  ./usr/share/man/man1/netroscope.1.gz
  ./usr/share/metainfo/org.example.netroscope.metainfo.xml
  ./usr/share/netroscope/Netroscope.html
  ./usr/share/netroscope/about-window.png
  ./usr/share/netroscope/main-window.png
)
diff -u <(printf '%s\n' "${expected[@]}") <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)
[ "$(dpkg-deb -I "$deb" conffiles)" = /etc/default/netroscope ] || {
  echo "/etc/default/netroscope is not the package's one conffile"; exit 1; }

# What it needs at run time: the Qt libraries found by dpkg-shlibdeps, what the
# program starts or loads without linking it, and what creates the service's user.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libqt6widgets6 libqt6network6 iputils-ping iproute2 qt6-qpa-plugins \
  fonts-ipafont-gothic qt6-translations-l10n xdg-utils systemd; do
  grep -q "\b$package\b" <<<"$depends" || { echo "missing dependency: $package"; exit 1; }
done

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"

# lintian: no error and no warning.
lintian_out=$(lintian --fail-on none --display-level ">=warning" "$deb" 2>"$work/lintian.err") || {
  cat "$work/lintian.err"; echo "lintian could not check the package"; exit 1; }
[ -z "$lintian_out" ] || echo "$lintian_out"
complaints=$(grep -E '^[EW]: ' <<<"$lintian_out" || true)
[ -z "$complaints" ] || { echo "lintian reports errors or warnings"; exit 1; }
echo "lintian: no error, no warning"

# The units as the package installs them, checked in the package's own tree with
# the system's units beside them (the targets they name), none replaced; any
# message at all, such as an unknown setting, fails the check. The manual page
# they name is not looked up: man would search this machine, not the tree.
units=("$tree/lib/systemd/system/netroscope-survey.service" "$tree/lib/systemd/system/netroscope-survey.timer")
cp -rn /lib/systemd/system/. "$tree/lib/systemd/system/"
verify=$(systemd-analyze verify --root="$tree" --man=no "${units[@]}" 2>&1) &&
  [ -z "$verify" ] || { echo "$verify"; echo "systemd-analyze verify refuses the units"; exit 1; }
echo "systemd-analyze verify: the units pass"
security=$(systemd-analyze security --offline=yes --root="$tree" "${units[0]}" 2>&1 | tail -n 1)
echo "$security"
exposure=$(sed -n 's/.*Overall exposure level for netroscope-survey.service: \([0-9.]*\) .*/\1/p' <<<"$security")
[ -n "$exposure" ] || { echo "systemd-analyze security gave no exposure level"; exit 1; }
awk -v e="$exposure" 'BEGIN { exit !(e <= 3.0) }' || { echo "exposure $exposure is over 3.0"; exit 1; }

$install_check || { echo "package ok (run with --install-check to install and purge it)"; exit 0; }

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: the install check installs and purges the package, which needs root"; exit 0
fi
if dpkg-query -W -f='${Status}' netroscope 2>/dev/null | grep -q "installed"; then
  echo "SKIP: netroscope is already installed here; the install check does not touch it"; exit 0
fi
if getent passwd netroscope >/dev/null || [ -e /var/lib/netroscope ] || [ -e /etc/default/netroscope ]; then
  echo "SKIP: a netroscope user, /var/lib/netroscope or /etc/default/netroscope is already here"; exit 0
fi
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q "./$deb" >/dev/null
home=$(mktemp -d)
cleanup() { apt-get purge -y -q netroscope >/dev/null 2>&1 || true; rm -rf "$home" "$tree"; }
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
# The manual page is found by what it is about, once man-db's index knows it.
mandb -q 2>/dev/null || true
man -k netroscope | grep -q '^netroscope (1)' || { echo "man -k netroscope lists no page"; exit 1; }

# The service's user is there, and nothing is enabled or started: no unit links,
# systemd's own answer where it can give one.
getent passwd netroscope | grep -q ':/var/lib/netroscope:/usr/sbin/nologin$' || {
  echo "no netroscope system user: $(getent passwd netroscope)"; exit 1; }
links=$(find /etc/systemd/system -name 'netroscope-survey.*' 2>/dev/null)
[ -z "$links" ] || { echo "installing enabled the survey:"; echo "$links"; exit 1; }
for unit in netroscope-survey.timer netroscope-survey.service; do
  state=$(systemctl is-enabled "$unit" 2>/dev/null || true)
  case "$state" in disabled | static) ;; *) echo "$unit is $state after installing"; exit 1 ;; esac
  if [ -d /run/systemd/system ]; then
    ! systemctl -q is-active "$unit" || { echo "$unit was started by installing"; exit 1; }
  fi
done
[ -d /run/systemd/system ] || echo "(no systemd running here: checked the unit links only)"
# What a run leaves, as the service's state folder would hold it, goes on purge too.
install -d -o netroscope -g netroscope -m 0700 /var/lib/netroscope/Netroscope
setpriv --reuid=netroscope --regid=netroscope --clear-groups touch /var/lib/netroscope/Netroscope/Netroscope.log

apt-get purge -y -q netroscope >/dev/null
trap 'rm -rf "$home" "$tree"' EXIT
left=$(printf '%s\n' "${expected[@]#.}" /var/lib/netroscope | while read -r f; do [ -e "$f" ] && echo "$f"; done || true)
[ -z "$left" ] || { echo "left behind after purging:"; echo "$left"; exit 1; }
! getent passwd netroscope >/dev/null || { echo "the netroscope user is still there"; exit 1; }
! getent group netroscope >/dev/null || { echo "the netroscope group is still there"; exit 1; }
test ! -e /usr/share/netroscope
test ! -e /usr/libexec/netroscope
if ls /var/lib/systemd/deb-systemd-helper-*/netroscope-survey.* >/dev/null 2>&1; then
  echo "deb-systemd-helper still keeps state of the survey's units"; exit 1
fi
echo "installed (nothing enabled or started), started the program and purged cleanly"
