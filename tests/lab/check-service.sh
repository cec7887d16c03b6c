#!/usr/bin/env bash
# Runs in the scanner namespace of a lab (tests/lab/netlab.sh): boots a container
# with systemd (systemd-nspawn, a throw-away root over the system's /usr, in the
# scanner's network) that holds the package's survey units, settings and user and
# this build's program, and starts netroscope-survey.service in it twice, with its
# whole sandbox. The first run reports every live host of the lab as new, one
# journal line each, keeps the log in the state folder and publishes metrics that
# promtool accepts with one series per live host; the second, with nothing
# changed, reports nothing and publishes the same host series.
#
# Usage: check-service.sh <build folder> <source folder>
set -uo pipefail

build=${1:?usage: $0 <build folder> <source folder>}
source=${2:?usage: $0 <build folder> <source folder>}
[ -n "${NETLAB_SCANNER:-}" ] || { echo "run through tests/lab/netlab.sh run $0 <build> <source>" >&2; exit 77; }
for tool in systemd-nspawn nsenter promtool python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done
. "$(dirname "$0")/lablib.sh"

work=$(mktemp -d)
chmod 755 "$work"
container=
cleanup() {
  if [ -n "$container" ] && kill -0 "$container" 2>/dev/null; then
    kill -TERM "$container" 2>/dev/null
    wait "$container" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

# The program as installed, under /opt/netroscope in the container (its /usr is the
# system's, read-only); the units as the package ships them, but for that path.
cmake --install "$build" --prefix "$work/usr" >/dev/null || fail "cmake --install"
install -m 0755 "$source/debian/publish-metrics" "$work/usr/publish-metrics"
mkdir -p "$work/etc/system" "$work/etc/sysusers.d" "$work/etc/tmpfiles.d"
for unit in service timer; do
  sed -e 's#/usr/bin/netroscope#/opt/netroscope/bin/netroscope#' \
    -e 's#/usr/libexec/netroscope/publish-metrics#/opt/netroscope/publish-metrics#' \
    "$source/debian/netroscope.netroscope-survey.$unit" >"$work/etc/system/netroscope-survey.$unit"
done
# A sanitizer build's leak check stops the world with ptrace, which the sandbox's
# system call filter refuses.
mkdir -p "$work/etc/system/netroscope-survey.service.d"
printf '[Service]\nEnvironment=ASAN_OPTIONS=detect_leaks=0\n' \
  >"$work/etc/system/netroscope-survey.service.d/sanitizer.conf"
cp "$source/debian/netroscope.sysusers" "$work/etc/sysusers.d/netroscope.conf"
# Node exporter's textfile folder as Debian's package ships it.
echo 'd /var/lib/prometheus/node-exporter 0755 root root -' >"$work/etc/tmpfiles.d/node-exporter.conf"

# ip netns exec gave this script a /sys of the lab's own, without the cgroup
# hierarchy that systemd-nspawn needs: it runs in the mount namespace of netlab.sh,
# which started this script, but still in the scanner's network, with the
# scanner's hosts and resolver files.
nsenter -t "$PPID" -m -- systemd-nspawn -D / --volatile=yes -M "nl$$" --hostname="$NETLAB_OWN_NAME" \
  --register=no --keep-unit --console=passive --resolv-conf=off \
  --bind-ro="/etc/netns/$NETLAB_SCANNER/resolv.conf:/etc/resolv.conf" \
  --bind-ro="/etc/netns/$NETLAB_SCANNER/hosts:/etc/hosts" \
  --bind-ro="$work/usr:/opt/netroscope" --bind-ro="$work/etc/system:/etc/systemd/system" \
  --bind-ro="$work/etc/sysusers.d:/etc/sysusers.d" --bind-ro="$work/etc/tmpfiles.d:/etc/tmpfiles.d" \
  --bind-ro="$source/debian/netroscope.default:/etc/default/netroscope" \
  -b -- --unit=multi-user.target systemd.firstboot=off </dev/null >"$work/container.log" 2>&1 &
container=$!
init=
for _ in $(seq 100); do
  init=$(pgrep -P "$container" -x systemd) && break
  kill -0 "$container" 2>/dev/null || break
  sleep 0.1
done
[ -n "$init" ] || { cat "$work/container.log"; echo "SKIP: no container with systemd here" >&2; exit 77; }
inside() { nsenter -t "$init" -a "$@"; }
# Booted once its manager answers with a state that --wait does not wait past
# ("degraded" where some unit of the system's own failed in the container).
state=
for _ in $(seq 150); do
  state=$(inside systemctl is-system-running --wait 2>/dev/null) || true
  [ -n "$state" ] || ! kill -0 "$container" 2>/dev/null && break
  sleep 0.2
done
echo "container: $state"
case "$state" in
running) ;;
degraded) inside systemctl --failed --no-legend --plain ;;
*) cat "$work/container.log"; fail "the container did not boot" ;;
esac

# $1 the run's number: the service's standard output in the journal and its
# published metrics' host series.
survey() {
  cursor=$(inside journalctl -q -n 1 -o cat --show-cursor | sed -n 's/^-- cursor: //p')
  inside systemctl start netroscope-survey.service || { inside journalctl -u netroscope-survey --no-pager | tail -20; fail "run $1 failed"; }
  # journald handles a sync only after what it has been sent already.
  inside journalctl --sync
  # The program's lines, picked here: journalctl skips the first entry after a
  # cursor that a match of its own selects.
  inside journalctl -q -o json --after-cursor="$cursor" | python3 -c '
import json, sys
for entry in map(json.loads, sys.stdin):
    if entry.get("SYSLOG_IDENTIFIER") == "netroscope":
        print(entry["MESSAGE"])' >"$work/lines$1"
  inside cat /var/lib/prometheus/node-exporter/netroscope.prom >"$work/metrics$1" || fail "run $1 published no metrics"
  promtool check metrics <"$work/metrics$1" || fail "run $1: promtool refuses the metrics"
  grep '^netroscope_host_up{' "$work/metrics$1" | sort >"$work/hosts$1"
}

# Every live host of the lab's /24 (the PC itself among them) is new.
lab_ranges rows "$NETLAB_PREFIX.1-254" | awk -F'\t' '$3 != "" { print "new\t" $1 "\t" $2 "\t" $3 "\t\t\t" $1 }' >"$work/expected"
survey 1
diff -u "$work/expected" "$work/lines1" || {
  inside journalctl -o short-monotonic --after-cursor="$cursor" --no-pager | tail -n 30
  fail "the first run's journal lines are not one per live host"; }
diff -u <(cut -f2,4 "$work/expected" | sort) <(sed 's/.*address="\([^"]*\)",mac="\([^"]*\)".*/\1\t\2/' "$work/hosts1" | sort) ||
  fail "not one host series per live host"

# The log in the state folder, the service's user's own (the second run compares
# with it); the published metrics readable by the exporter and owned by the
# textfile folder's owner.
inside stat -c '%U %a %n' /var/lib/netroscope /var/lib/netroscope/Netroscope/Netroscope.log \
  /var/lib/prometheus/node-exporter/netroscope.prom >"$work/owners" || fail "no log in the state folder"
cat "$work/owners"
diff -u - "$work/owners" <<EOF || fail "the state folder, log or metrics have the wrong owner or mode"
netroscope 700 /var/lib/netroscope
netroscope 600 /var/lib/netroscope/Netroscope/Netroscope.log
root 644 /var/lib/prometheus/node-exporter/netroscope.prom
EOF

survey 2
[ ! -s "$work/lines2" ] || { cat "$work/lines2"; fail "the second run reported changes where none were"; }
diff -u "$work/hosts1" "$work/hosts2" || fail "the second run moved a host series"

echo "the service surveyed the lab twice in its sandbox: $(wc -l <"$work/expected") new hosts, then none"
inside systemctl poweroff
wait "$container"
container=
exit 0
