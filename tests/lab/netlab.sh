#!/usr/bin/env bash
# Builds a throw-away network lab, runs one command inside it and tears it down.
#
# Usage: netlab.sh run <command> [arguments...]
#
# The lab lives entirely in network namespaces made for this run: a switch
# namespace holding a bridge, one namespace per lab host, and the scanner
# namespace in which <command> runs. Nothing is added to the caller's own
# namespace, and every packet the command sends stays inside the lab. The lab
# range is the benchmarking block 198.18.0.0/24.
#
# The command sees these environment variables:
#   NETLAB_SCANNER    name of the scanner namespace the command runs in
#   NETLAB_PREFIX     the first three octets of the lab range, "198.18.0"
#   NETLAB_OWN_NAME   the PC's name (hostname), mapped to NETLAB_OWN_IP in the
#                     scanner's hosts file
#   NETLAB_OWN_IP     the scanner's own lab address
#   NETLAB_OWN_MAC    the scanner's adapter address, e.g. 02-4E-53-00-00-0A
#   NETLAB_HOSTS      the live hosts, blank-separated, each "ip,name,mac"
#                     (mac as six upper-case groups joined by "-")
#   NETLAB_DEAD       addresses of the range that no host holds, blank-separated
#   NETLAB_MULTI_NAME a name listed in the scanner's hosts file with two
#                     addresses; NETLAB_MULTI_FIRST is the one listed first
#   NETLAB_PING_WAIT  seconds a ping waits for its reply in the probes (1)
#   NETLAB_NAMESPACES the lab hosts' namespaces, blank-separated (to flush their
#                     neighbour tables between benchmark runs)
#
# Set by the caller:
#   NETLAB_EXTRA_HOSTS  this many more live hosts, from .21 up (default 0), for a
#                       lab the size of a small office
#
# The scanner namespace allows unprivileged ICMP echo sockets to every group
# (net.ipv4.ping_group_range), as Debian's desktop installs do; a test may write
# "1 0" to /proc/sys/net/ipv4/ping_group_range to refuse them.
#
# Inside the scanner namespace /etc/hosts and /etc/resolv.conf are the lab's own
# (through /etc/netns/<scanner>/): lab names resolve from the hosts file and any
# other lookup fails at once against a nameserver on the namespace's loopback.
#
# Exit status: that of the command; 77 when the lab cannot be built (not root,
# no namespace support), which ctest reports as skipped.
set -uo pipefail

usage() {
    sed -n '2,4p' "$0" >&2
    exit 2
}

[ "${1:-}" = run ] || usage
shift
[ $# -ge 1 ] || usage

skip() {
    echo "netlab: $*; skipping" >&2
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "namespaces need root"
command -v ip >/dev/null || skip "ip (iproute2) is not installed"

# Short and unique per run: interface names stop at 15 characters and labs of
# parallel test runs must not meet.
id=$(printf '%x' "$$")
P="nl${id}"
SW="${P}sw"
SCANNER="${P}sc"
PREFIX=198.18.0
OWN_IP="$PREFIX.10"
OWN_MAC="02:4e:53:00:00:0a"

# ip last-octet name mac. .1 and .17 are both live on purpose: a rule that
# matches the address as a substring answers for the wrong one. One MAC is
# written in lower case with letters, one name is Japanese (UTF-8).
HOSTS=(
    "1 labgw 02:4e:53:00:00:01"
    "11 lab11 02:4e:53:00:00:0b"
    "12 lab12 02:4e:53:ab:cd:ef"
    "13 lab13 02:4e:53:00:00:0d"
    "14 ラボ14 02:4e:53:00:00:0e"
    "15 lab15 02:4e:53:00:00:0f"
    "16 lab16 02:4e:53:00:00:10"
    "17 lab17 02:4e:53:00:00:11"
)
DEAD=(2 3 7 100 171 200)
extra=${NETLAB_EXTRA_HOSTS:-0}
[[ "$extra" =~ ^[0-9]+$ ]] && [ "$extra" -le 70 ] || { echo "netlab: NETLAB_EXTRA_HOSTS: 0 to 70" >&2; exit 2; }
for ((octet = 21; octet < 21 + extra; octet++)); do
    HOSTS+=("$octet lab$octet $(printf '02:4e:53:00:01:%02x' "$octet")")
done

namespaces=()
cleanup() {
    local ns
    for ns in "${namespaces[@]}"; do
        ip netns del "$ns" 2>/dev/null
        rm -rf "/etc/netns/$ns"
    done
    rmdir /etc/netns 2>/dev/null
    return 0
}
child=
stop() {
    [ -n "$child" ] && kill -TERM "$child" 2>/dev/null && wait "$child"
    exit "$1"
}
trap cleanup EXIT
trap 'stop 130' INT
trap 'stop 143' TERM

# A run killed outright (SIGKILL) cannot clean up; the next run removes its lab.
# The owner's process id is part of every name, so only dead owners' labs go.
sweep() {
    local ns owner
    for ns in $(ip netns list 2>/dev/null | awk '{print $1}'); do
        [[ "$ns" =~ ^nl([0-9a-f]+)(sw|sc|h[0-9]+)$ ]] || continue
        owner=$((16#${BASH_REMATCH[1]}))
        kill -0 "$owner" 2>/dev/null && continue
        ip netns del "$ns" 2>/dev/null
        rm -rf "/etc/netns/$ns"
    done
}
sweep

mkns() {
    namespaces+=("$1")
    ip netns add "$1" || return 1
    ip -n "$1" link set lo up
}

build() {
    mkns "$SW" || return 1
    ip -n "$SW" link add br0 type bridge || return 1
    ip -n "$SW" link set br0 up || return 1

    # $1 namespace, $2 port name in the switch, $3 address, $4 mac
    attach() {
        ip link add eth0 netns "$1" address "$4" type veth peer name "$2" netns "$SW" || return 1
        ip -n "$SW" link set "$2" master br0 up || return 1
        ip -n "$1" addr add "$3/24" dev eth0 || return 1
        ip -n "$1" link set eth0 up
    }

    mkns "$SCANNER" || return 1
    attach "$SCANNER" psc "$OWN_IP" "$OWN_MAC" || return 1
    ip -n "$SCANNER" route add default dev eth0 || return 1
    ip netns exec "$SCANNER" sysctl -qw net.ipv4.ping_group_range="0 2147483647" || return 1

    local h octet name mac ns
    for h in "${HOSTS[@]}"; do
        read -r octet name mac <<<"$h"
        ns="${P}h${octet}"
        mkns "$ns" || return 1
        attach "$ns" "p${octet}" "$PREFIX.$octet" "$mac" || return 1
        mkdir -p "/etc/netns/$ns"
        printf '127.0.0.1 localhost\n%s %s\n' "$PREFIX.$octet" "$name" >"/etc/netns/$ns/hosts"
    done

    mkdir -p "/etc/netns/$SCANNER"
    {
        printf '127.0.0.1 localhost\n'
        printf '%s %s\n' "$OWN_IP" "$(hostname)"
        for h in "${HOSTS[@]}"; do
            read -r octet name mac <<<"$h"
            printf '%s %s\n' "$PREFIX.$octet" "$name"
        done
        # Listed first and also first by the resolver's own address sorting, so
        # that "the first address" means the same under every lookup call.
        printf '%s labmulti\n%s labmulti\n' "$PREFIX.11" "$PREFIX.13"
    } >"/etc/netns/$SCANNER/hosts"
    printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$SCANNER/resolv.conf"
}

build || skip "the lab could not be built"

hosts_env=()
for h in "${HOSTS[@]}"; do
    read -r octet name mac <<<"$h"
    hosts_env+=("$PREFIX.$octet,$name,$(echo "$mac" | tr 'a-f:' 'A-F-')")
done
dead_env=()
for d in "${DEAD[@]}"; do dead_env+=("$PREFIX.$d"); done

export NETLAB_SCANNER="$SCANNER"
export NETLAB_PREFIX="$PREFIX"
export NETLAB_OWN_NAME="$(hostname)"
export NETLAB_OWN_IP="$OWN_IP"
export NETLAB_OWN_MAC="$(echo "$OWN_MAC" | tr 'a-f:' 'A-F-')"
export NETLAB_HOSTS="${hosts_env[*]}"
export NETLAB_DEAD="${dead_env[*]}"
export NETLAB_MULTI_NAME=labmulti
export NETLAB_MULTI_FIRST="$PREFIX.11"
export NETLAB_PING_WAIT=1
host_namespaces=()
for ns in "${namespaces[@]}"; do [[ "$ns" == "${P}h"* ]] && host_namespaces+=("$ns"); done
export NETLAB_NAMESPACES="${host_namespaces[*]}"

# In the background, so that a TERM or INT reaches the trap at once and the lab
# still comes down; standard input stays the caller's.
ip netns exec "$SCANNER" "$@" <&0 &
child=$!
wait "$child"
rc=$?
child=
exit "$rc"
