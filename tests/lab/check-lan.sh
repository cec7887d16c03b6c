#!/usr/bin/env bash
# Runs in the scanner namespace of a lab built with NETLAB_LAN=1 and checks that
# the office LAN's hosts behave as netlab.sh says, straight on the wire, so that
# a broken daemon set-up shows here and not as a fault of the probes.
set -uo pipefail

[ -n "${NETLAB_NETBIOS:-}" ] || {
    echo "run through NETLAB_LAN=1 tests/lab/netlab.sh run $0" >&2
    exit 77
}

failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

# A busy machine may drop a packet of the lab's: what must answer is asked up to
# five times, each with its own wait, until it does; what must stay silent is asked
# once.
# $1 "ip,name,mac" -> the neighbour table's form of the mac
colons() { echo "${1##*,}" | tr 'A-F-' 'a-f:'; }
neighbour_mac() { ip neigh show "$1" | grep -o 'lladdr [0-9a-f:]*' | cut -d' ' -f2; }
# Pings $1 until it answers, at most five times.
answers() {
    local attempt
    for attempt in 1 2 3 4 5; do ping -c1 -W1 "$1" >/dev/null && return 0; done
    return 1
}

# The name in a node status answer, raw: its code page 932 bytes, which hold a
# 0x5C, come back as the name the list must show.
IFS=, read -r ip name _ <<<"$NETLAB_NETBIOS"
got=$(python3 - "$ip" <<'EOF'
import socket, struct, sys
star = b"*" + b"\0" * 15
qname = bytes([32]) + bytes(c for b in star for c in (0x41 + (b >> 4), 0x41 + (b & 15))) + b"\0"
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.settimeout(1)
for attempt in range(5):
    s.sendto(struct.pack(">6H", 0x4e4c, 0, 1, 0, 0, 0) + qname + struct.pack(">HH", 0x21, 1), (sys.argv[1], 137))
    try:
        r = s.recvfrom(1500)[0]
        break
    except socket.timeout:
        pass
else:
    sys.exit(1)
at = 12 + len(qname) + 10
for i in range(r[at]):
    e = r[at + 1 + 18 * i:at + 19 + 18 * i]
    # the first unique workstation (<00>) name
    if e[15] == 0 and not e[16] & 0x80:
        print(e[:15].rstrip(b" ").decode("cp932"))
        break
EOF
)
[ "$got" = "$name" ] || fail "node status of $ip: '$got', not '$name'"
getent hosts "$name" >/dev/null && fail "the hosts file knows $name"

# Legacy unicast (from a port other than 5353), as the probes ask.
IFS=, read -r ip name _ <<<"$NETLAB_MDNS"
got=$(dig +short +time=1 +tries=5 -p 5353 @"$ip" -x "$ip")
[ "$got" = "$name." ] || fail "mDNS PTR for $ip: '$got', not '$name.'"
got=$(dig +short +time=1 +tries=5 -p 5353 @"$ip" "$name" A)
[ "$got" = "$ip" ] || fail "mDNS A for $name: '$got', not '$ip'"
getent hosts "$name" >/dev/null && fail "the hosts file knows $name"

# Silent: no echo reply, yet the address resolves to its MAC.
for ip in $NETLAB_SILENT; do
    ping -c1 -W1 "$ip" >/dev/null && fail "$ip answers echo requests"
    entry=$(printf '%s\n' $NETLAB_HOSTS | grep "^$ip,")
    for attempt in 1 2 3 4 5; do
        [ "$(neighbour_mac "$ip")" = "$(colons "$entry")" ] && break
        ping -c1 -W1 "$ip" >/dev/null
    done
    [ "$(neighbour_mac "$ip")" = "$(colons "$entry")" ] || fail "$ip: no neighbour entry with its MAC"
done

# The leaver answers, leaves, and its neighbour entry outlives it.
IFS=, read -r ip name _ <<<"$NETLAB_LEAVER"
answers "$ip" || fail "$ip does not answer before it leaves"
sh -c "$NETLAB_LEAVE_COMMAND" || fail "the leave command failed"
[ "$(neighbour_mac "$ip")" = "$(colons "$NETLAB_LEAVER")" ] || fail "$ip: the neighbour entry went with the host"
ping -c1 -W1 "$ip" >/dev/null && fail "$ip still answers after it left"

[ "$failed" = 0 ] && echo "the LAN's hosts are as netlab.sh says"
exit "$failed"
