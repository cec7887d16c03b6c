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
#   NETLAB_LAN          1 adds the hosts of an office LAN, from .120 up (default
#                       0: none of them, and none of the variables below)
#
# With NETLAB_LAN=1 the command also sees these, and NETLAB_HOSTS lists every
# host below too, each with its name as the survey list must show it:
#   NETLAB_SILENT     addresses of hosts that ignore echo requests (but answer
#                     ARP), blank-separated; their names are in the hosts file
#   NETLAB_NETBIOS    "ip,name,mac" of a host whose name only NetBIOS knows (nmbd
#                     in its namespace): "表示ラボ", 8 bytes in code page 932 on
#                     the wire, the second byte of 表 being 0x5C ("\"); no ASCII
#                     letter in it for NetBIOS to upper-case
#   NETLAB_MDNS       "ip,name.local,mac" of a host whose name only multicast DNS
#                     knows (avahi-daemon in its namespace); it answers a PTR query
#                     for its address and an A query for its name, also sent as
#                     legacy unicast to its port 5353
#   NETLAB_LEAVER     "ip,name,mac" of a live host (name in the hosts file) that
#                     NETLAB_LEAVE_COMMAND takes off the LAN
#   NETLAB_LEAVE_COMMAND  a command line to run in the scanner namespace (as
#                     root, e.g. through sh -c) between two surveys: the leaver's
#                     adapter goes down and the scanner's neighbour entry for it
#                     stays as the kernel keeps it, unflushed
#   NETLAB_WIDE         1 widens the lab to 198.18.0.0/20 and adds a routed network
#                       behind a router (default 0: the /24 alone, and none of
#                       the variables below)
#
# With NETLAB_WIDE=1 the scanner and every host on the bridge hold their address
# in the /20, more live hosts sit in other /24s of it (two drop ping, one has a
# Japanese name, two hold the .0 and .255 of a /24 inside the /20), and a router on
# the bridge forwards to hosts of 198.19.0.0/16, each behind it on a link of its
# own; the rest of that /16 is a blackhole on the router, so that nothing in the
# lab asks ARP for its dead addresses (the neighbour table is one for all
# namespaces). NETLAB_HOSTS lists every live host of the /20, NETLAB_SILENT
# every one that drops ping, and the command also sees:
#   NETLAB_WIDE_RANGE   the bridge's network, "198.18.0.0/20"
#   NETLAB_ROUTED_RANGE the network behind the router, "198.19.0.0/16"
#   NETLAB_ROUTER       the router's address on the bridge (a live host too)
#   NETLAB_ROUTED_HOSTS the routed hosts, blank-separated, each "ip,name," (no
#                       MAC: a host behind a router is not asked by ARP); their
#                       names are in the hosts file and they answer ping
# The daemons keep their configuration, state and logs in a folder of their own
# per lab (/tmp/netlab-<lab>.*), touch nothing of the system's Samba or Avahi,
# and answer before the command starts.
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

# One lab at a time on this machine, whichever test run or clone builds it: labs
# share the kernel's transit queue, and one lab's broadcasts cost another its
# packets. The lock sits in root's own folder, and the lab runs as a child of flock
# without the lock's descriptor, so no daemon that outlives the lab keeps it.
if [ -z "${NETLAB_LOCKED:-}" ] && command -v flock >/dev/null; then
    NETLAB_LOCKED=1 exec flock -o /run/netroscope-netlab.lock "$0" run "$@"
fi

# Short and unique per run: interface names stop at 15 characters and labs of
# parallel test runs must not meet.
id=$(printf '%x' "$$")
P="nl${id}"
SW="${P}sw"
SCANNER="${P}sc"
PREFIX=198.18.0
# The address of host number $1.
ip_of() { echo "${PREFIX%.*}.$(($1 / 256)).$(($1 % 256))"; }
OWN_IP="$PREFIX.10"
OWN_MAC="02:4e:53:00:00:0a"

# number name mac, the number being the address's place in the lab's network
# (256 × third octet + last octet), in the /24 its last octet. .1 and .17 are
# both live on purpose: a rule that matches the address as a substring answers
# for the wrong one. One MAC is written in lower case with letters, one name is
# Japanese (UTF-8).
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

# The office LAN sits above the extra hosts' highest address (.90).
lan=${NETLAB_LAN:-0}
[[ "$lan" =~ ^[01]$ ]] || { echo "netlab: NETLAB_LAN: 0 or 1" >&2; exit 2; }
SILENT=(120 121)
NETBIOS=(122 表示ラボ 02:4e:53:00:02:7a)
MDNS=(123 labmdns 02:4e:53:00:02:7b)
LEAVER=(124 lableave 02:4e:53:00:02:7c)
# Hosts whose names the scanner's hosts file does not know.
UNLISTED=()
# Hosts that drop ping, by number.
QUIET=()
if [ "$lan" = 1 ]; then
    command -v nmbd >/dev/null || skip "nmbd (samba) is not installed"
    command -v nmblookup >/dev/null || skip "nmblookup (samba-common-bin) is not installed"
    command -v avahi-daemon >/dev/null || skip "avahi-daemon is not installed"
    command -v dig >/dev/null || skip "dig (bind9-dnsutils) is not installed"
    for octet in "${SILENT[@]}"; do
        HOSTS+=("$octet lab$octet $(printf '02:4e:53:00:02:%02x' "$octet")")
    done
    QUIET+=("${SILENT[@]}")
    HOSTS+=("${LEAVER[*]}" "${NETBIOS[*]}" "${MDNS[0]} ${MDNS[1]}.local ${MDNS[2]}")
    UNLISTED=("${NETBIOS[0]}" "${MDNS[0]}")
fi

wide=${NETLAB_WIDE:-0}
[[ "$wide" =~ ^[01]$ ]] || { echo "netlab: NETLAB_WIDE: 0 or 1" >&2; exit 2; }
MASK=24
ROUTER=()
ROUTED=()
if [ "$wide" = 1 ]; then
    MASK=20
    # third.last name: spread over the /20, the .0 and .255 of a /24 among them, for
    # a survey that takes a /24's ends for the network's.
    WIDE=(
        "1.0 wide1-0" "1.77 wide1-77" "1.255 wide1-255" "3.3 wide3-3" "3.128 wide3-128"
        "7.1 広域ラボ" "7.200 wide7-200" "12.12 wide12-12" "12.100 wide12-100"
        "12.255 wide12-255" "15.1 wide15-1" "15.253 wide15-253"
    )
    for w in "${WIDE[@]}"; do
        read -r place name <<<"$w"
        third=${place%.*} last=${place#*.}
        HOSTS+=("$((256 * third + last)) $name $(printf '02:4e:53:01:%02x:%02x' "$third" "$last")")
    done
    QUIET+=($((256 * 3 + 128)) $((256 * 12 + 100)))
    ROUTER=($((256 * 15 + 254)) labrouter 02:4e:53:01:0f:fe)
    HOSTS+=("${ROUTER[*]}")
    # ip name behind the router: its first and last addresses and a .0 and .255
    # within it.
    ROUTED=(
        "198.19.0.1 far0-1" "198.19.0.5 far0-5" "198.19.77.0 far77-0"
        "198.19.128.255 far128-255" "198.19.200.9 far200-9" "198.19.255.254 far255-254"
    )
fi

# Start time of process $1 (field 22 of its stat, after the name in brackets):
# with its id, it names the process even once the id has been given again.
started() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f20; }

# Ends the daemons listed in $1 ("pid start" lines) that still run: they outlive
# their namespace when an older sweep removed it without them.
kill_listed() {
    local pid start
    while read -r pid start; do
        [ -n "$start" ] && [ "$(started "$pid")" = "$start" ] && kill -KILL "$pid" 2>/dev/null
    done <"$1"
    return 0
}

# Ends every process left in the given namespaces (the LAN's daemons): a
# namespace that still holds one is never freed, nor its temp folder's files.
kill_in() {
    local ns pids=() pid
    for ns in "$@"; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do pids+=("$pid"); done
    done
    [ ${#pids[@]} -gt 0 ] || return 0
    kill -TERM "${pids[@]}" 2>/dev/null
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        kill -0 "${pids[@]}" 2>/dev/null || return 0
        sleep 0.2
    done
    kill -KILL "${pids[@]}" 2>/dev/null
    return 0
}

namespaces=()
tmp=
cleanup() {
    local ns
    [ -n "$tmp" ] && kill_in "${namespaces[@]}" && [ -f "$tmp/pids" ] && kill_listed "$tmp/pids"
    for ns in "${namespaces[@]}"; do
        ip netns del "$ns" 2>/dev/null
        rm -rf "/etc/netns/$ns"
    done
    rmdir /etc/netns 2>/dev/null
    [ -n "$tmp" ] && rm -rf "$tmp"
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
    local ns owner dir
    for ns in $(ip netns list 2>/dev/null | awk '{print $1}'); do
        [[ "$ns" =~ ^nl([0-9a-f]+)(sw|sc|h[0-9]+|r[0-9]+)$ ]] || continue
        owner=$((16#${BASH_REMATCH[1]}))
        kill -0 "$owner" 2>/dev/null && continue
        kill_in "$ns"
        ip netns del "$ns" 2>/dev/null
        rm -rf "/etc/netns/$ns"
    done
    for dir in /tmp/netlab-nl*; do
        [[ "$dir" =~ ^/tmp/netlab-nl([0-9a-f]+)\. ]] || continue
        owner=$((16#${BASH_REMATCH[1]}))
        kill -0 "$owner" 2>/dev/null && continue
        [ -f "$dir/pids" ] && kill_listed "$dir/pids"
        rm -rf "$dir"
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
        ip -n "$1" addr add "$3/$MASK" dev eth0 || return 1
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
        attach "$ns" "p${octet}" "$(ip_of "$octet")" "$mac" || return 1
        mkdir -p "/etc/netns/$ns"
        printf '127.0.0.1 localhost\n%s %s\n' "$(ip_of "$octet")" "$name" >"/etc/netns/$ns/hosts"
    done
    for octet in "${QUIET[@]}"; do
        ip netns exec "${P}h$octet" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 || return 1
    done
    [ "$wide" = 0 ] || routed_net || return 1

    mkdir -p "/etc/netns/$SCANNER"
    {
        printf '127.0.0.1 localhost\n'
        printf '%s %s\n' "$OWN_IP" "$(hostname)"
        for h in "${HOSTS[@]}"; do
            read -r octet name mac <<<"$h"
            [[ " ${UNLISTED[*]} " == *" $octet "* ]] && continue
            printf '%s %s\n' "$(ip_of "$octet")" "$name"
        done
        for h in "${ROUTED[@]}"; do printf '%s\n' "$h"; done
        # Listed first and also first by the resolver's own address sorting, so
        # that "the first address" means the same under every lookup call.
        printf '%s labmulti\n%s labmulti\n' "$PREFIX.11" "$PREFIX.13"
    } >"/etc/netns/$SCANNER/hosts"
    printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$SCANNER/resolv.conf"
}

# The router's links to the routed hosts, one each; every other address behind it
# is dropped there, without an ARP request or an ICMP answer.
routed_net() {
    local rt="${P}h${ROUTER[0]}" router_ip k=0 h ip name ns
    router_ip=$(ip_of "${ROUTER[0]}")
    ip netns exec "$rt" sysctl -qw net.ipv4.ip_forward=1 || return 1
    ip -n "$rt" route add blackhole 198.19.0.0/16 || return 1
    for h in "${ROUTED[@]}"; do
        read -r ip name <<<"$h"
        k=$((k + 1))
        ns="${P}r$k"
        mkns "$ns" || return 1
        ip link add eth0 netns "$ns" address "$(printf '02:4e:53:02:00:%02x' "$k")" type veth \
            peer name "r$k" netns "$rt" || return 1
        ip -n "$rt" link set "r$k" up || return 1
        ip -n "$rt" route add "$ip/32" dev "r$k" || return 1
        ip -n "$ns" addr add "$ip/32" dev eth0 || return 1
        ip -n "$ns" link set eth0 up || return 1
        ip -n "$ns" route add default via "$router_ip" dev eth0 onlink || return 1
    done
    ip -n "$SCANNER" route add 198.19.0.0/16 via "$router_ip" || return 1
}

build || skip "the lab could not be built"

# nmbd's configuration: the name in UTF-8 here, code page 932 on the wire. Every
# folder it writes to is the lab's, so that labs run side by side and the
# system's Samba is never touched. No browse master: its elections would change
# the node status answer while a test runs.
nmbd_conf() {
    local d="$tmp/nmbd"
    mkdir -p "$d"/{run,lock,state,cache,private,log,ncalrpc} || return 1
    cat >"$d/smb.conf" <<EOT
[global]
    netbios name = ${NETBIOS[1]}
    workgroup = LABO
    server role = standalone server
    dos charset = CP932
    unix charset = UTF-8
    interfaces = eth0
    bind interfaces only = yes
    disable netbios = no
    local master = no
    domain master = no
    preferred master = no
    pid directory = $d/run
    lock directory = $d/lock
    state directory = $d/state
    cache directory = $d/cache
    private dir = $d/private
    ncalrpc dir = $d/ncalrpc
    log file = $d/log/nmbd.log
    load printers = no
EOT
}

# avahi-daemon wants /run/avahi-daemon for its pid file and socket: a private
# mount namespace gets the lab's own folder as /run, so that several labs and
# the system's daemon never meet.
avahi_conf() {
    local d="$tmp/avahi"
    mkdir -p "$d/run/avahi-daemon" || return 1
    cat >"$d/avahi-daemon.conf" <<EOT
[server]
host-name=${MDNS[1]}
domain-name=local
use-ipv4=yes
use-ipv6=no
allow-interfaces=eth0
enable-dbus=no

[wide-area]
enable-wide-area=no

[publish]
publish-addresses=yes
publish-hinfo=no
publish-workstation=no
publish-domain=no

[reflector]
enable-reflector=no
EOT
}

# Runs the command ($2 on) in the scanner namespace until it prints something.
await() {
    local what=$1 i
    shift
    for ((i = 0; i < 40; i++)); do
        [ -n "$(ip netns exec "$SCANNER" "$@" 2>/dev/null)" ] && return 0
        sleep 0.25
    done
    echo "netlab: $what does not answer" >&2
    return 1
}

start_lan() {
    local ns
    tmp=$(mktemp -d "/tmp/netlab-$P.XXXXXX") || return 1
    nmbd_conf && avahi_conf || return 1
    ns="${P}h${NETBIOS[0]}"
    ip netns exec "$ns" nmbd -F --no-process-group -s "$tmp/nmbd/smb.conf" \
        -l "$tmp/nmbd/log" </dev/null >>"$tmp/nmbd/log/stdout" 2>&1 &
    echo "$! $(started $!)" >>"$tmp/pids"
    ns="${P}h${MDNS[0]}"
    ip netns exec "$ns" unshare -m sh -c 'mount --bind "$1" /run && exec "$2" -f "$3" --no-drop-root --no-chroot' \
        sh "$tmp/avahi/run" "$(command -v avahi-daemon)" "$tmp/avahi/avahi-daemon.conf" \
        </dev/null >>"$tmp/avahi/log" 2>&1 &
    echo "$! $(started $!)" >>"$tmp/pids"

    await "nmbd at $PREFIX.${NETBIOS[0]}" nmblookup -s "$tmp/nmbd/smb.conf" -A "$PREFIX.${NETBIOS[0]}" || return 1
    await "avahi-daemon at $PREFIX.${MDNS[0]}" dig +short +time=1 +tries=1 -p 5353 @"$PREFIX.${MDNS[0]}" -x "$PREFIX.${MDNS[0]}" || return 1
    # The queries above are the lab's, not the command's: it starts with empty
    # neighbour tables as without them.
    for ns in "$SCANNER" "${P}h${NETBIOS[0]}" "${P}h${MDNS[0]}"; do ip -n "$ns" neigh flush all; done
    return 0
}
if [ "$lan" = 1 ]; then
    if ! start_lan; then
        echo "netlab: the LAN's daemons did not start; their logs:" >&2
        [ -n "$tmp" ] && tail -n 20 "$tmp"/nmbd/log/* "$tmp"/avahi/log >&2 2>/dev/null
        exit 1
    fi
fi

hosts_env=()
for h in "${HOSTS[@]}"; do
    read -r octet name mac <<<"$h"
    hosts_env+=("$(ip_of "$octet"),$name,$(echo "$mac" | tr 'a-f:' 'A-F-')")
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
for ns in "${namespaces[@]}"; do [[ "$ns" == "${P}"[hr]* ]] && host_namespaces+=("$ns"); done
export NETLAB_NAMESPACES="${host_namespaces[*]}"

silent=()
for octet in "${QUIET[@]}"; do silent+=("$(ip_of "$octet")"); done
[ ${#silent[@]} -eq 0 ] || export NETLAB_SILENT="${silent[*]}"
if [ "$lan" = 1 ]; then
    # $1 octet, $2 name as listed
    entry() { printf '%s,%s,%s' "$PREFIX.$1" "$2" "$(echo "$3" | tr 'a-f:' 'A-F-')"; }
    export NETLAB_NETBIOS="$(entry "${NETBIOS[@]}")"
    export NETLAB_MDNS="$(entry "${MDNS[0]}" "${MDNS[1]}.local" "${MDNS[2]}")"
    export NETLAB_LEAVER="$(entry "${LEAVER[@]}")"
    export NETLAB_LEAVE_COMMAND="ip -n ${P}h${LEAVER[0]} link set eth0 down"
fi
if [ "$wide" = 1 ]; then
    export NETLAB_WIDE_RANGE="${PREFIX%.*}.0.0/$MASK"
    export NETLAB_ROUTED_RANGE=198.19.0.0/16
    export NETLAB_ROUTER="$(ip_of "${ROUTER[0]}")"
    routed=()
    for h in "${ROUTED[@]}"; do
        read -r ip name <<<"$h"
        routed+=("$ip,$name,")
    done
    export NETLAB_ROUTED_HOSTS="${routed[*]}"
fi

# In the background, so that a TERM or INT reaches the trap at once and the lab
# still comes down; standard input stays the caller's.
ip netns exec "$SCANNER" "$@" <&0 &
child=$!
wait "$child"
rc=$?
child=
exit "$rc"
