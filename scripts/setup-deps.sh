#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, and
# touches apt only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  fonts-ipafont-gothic
  iputils-ping iproute2 ieee-data
  xvfb xauth
  desktop-file-utils
  g++-mingw-w64-x86-64-posix
  samba avahi-daemon samba-common-bin bind9-dnsutils
  prometheus
  man-db groff-base bash-completion appstream
  dpkg-dev debhelper lintian systemd systemd-container
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# Samba and Avahi are here only for the lab's namespaces (tests/lab/netlab.sh);
# Prometheus only for its promtool, which checks the --metrics file and the example
# alerting rules; man-db, bash-completion and appstream check the manual pages, the
# completion and the AppStream metadata. debhelper builds the package and lintian
# checks it; systemd brings systemd-analyze for the survey's units and
# systemd-container the container in which the lab runs them.
# Debian starts a package's services as it installs them, and in this namespace
# nmbd and avahi-daemon would announce themselves on the machine's real network:
# a policy-rc.d that refuses every start keeps them down during the install.
policy=/usr/sbin/policy-rc.d
own_policy=""
drop_policy() {
  if [ -n "$own_policy" ]; then $sudo rm -f "$policy"; fi
}

# Whatever started all the same (a service manager that ignores policy-rc.d) is
# stopped; the lab's own daemons live in other network namespaces and stay.
stop_strays() {
  local name pid here
  here=$(readlink /proc/self/ns/net)
  for name in nmbd smbd samba avahi-daemon; do
    for pid in $(pgrep -x "$name" || true); do
      if [ "$($sudo readlink "/proc/$pid/ns/net" 2>/dev/null)" = "$here" ]; then
        echo "Stopping $name ($pid), started by its install in this namespace"
        $sudo kill -TERM "$pid" 2>/dev/null || true
      fi
    done
  done
}

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
if ((${#missing[@]})); then
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
    own_policy=1
  fi
  trap drop_policy EXIT
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
  drop_policy
  own_policy=""
  stop_strays
  # Its server is no part of the tests: installed here, it is not started at boot either.
  if [[ " ${missing[*]} " == *" prometheus "* ]] && command -v systemctl >/dev/null; then
    $sudo systemctl disable prometheus.service || true
  fi
fi
