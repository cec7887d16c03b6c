#!/usr/bin/env bash
# Runs in the scanner namespace of a lab built with NETLAB_WIDE=1 NETLAB_LAN=1: the
# program surveys the /20 on the bridge, the /16 behind the router and a list that
# crosses both, and each survey's rows must be the lab's, with no line of an
# overflowing neighbour table in the kernel's log meanwhile.
#
# Usage: check-wide.sh <netroscope>
set -uo pipefail

exe=${1:?usage: $0 <netroscope>}
[ -n "${NETLAB_ROUTED_RANGE:-}" ] && [ -n "${NETLAB_NETBIOS:-}" ] || {
    echo "run through NETLAB_WIDE=1 NETLAB_LAN=1 tests/lab/netlab.sh run $0 <netroscope>" >&2
    exit 77
}
command -v python3 >/dev/null || {
    echo "python3 reads the kernel's log; skipping" >&2
    exit 77
}
. "$(dirname "$0")/lablib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

# $1 ranges: one survey, its rows against the lab's.
survey() {
    local ranges=$1 mark start rc overflows
    mark=$(kernel_log_last)
    start=$(date +%s%N)
    "$exe" --survey "$ranges" --quiet >"$work/rows" 2>"$work/err"
    rc=$?
    echo "$ranges: $(wc -l <"$work/rows") rows in $((($(date +%s%N) - start) / 1000000)) ms, status $rc"
    overflows=$(overflows_since "$mark")
    [ "$overflows" = 0 ] || fail "$ranges: the kernel logged a neighbour table overflow ($overflows lines)"
    [ "$rc" = 0 ] || fail "$ranges: status $rc, standard error: $(head -c 500 "$work/err")"
    lab_ranges rows "$ranges" >"$work/expected"
    cmp -s "$work/expected" "$work/rows" && return
    fail "$ranges: the rows differ from the lab's ($(wc -l <"$work/rows") rows, $(wc -l <"$work/expected") expected); the first differences:"
    diff "$work/expected" "$work/rows" | head -20
}

# Live hosts in several /24s, two that drop ping, the NetBIOS and mDNS names, the
# .0 and .255 of /24s inside the network, the router and the scanner itself.
survey "$NETLAB_WIDE_RANGE"
# Off-link: names from the hosts file and never a MAC, the first and last address
# and a .0 and .255 among the routed hosts, 65000 dead addresses that no ARP asks.
survey "$NETLAB_ROUTED_RANGE"
# Out of order, overlapping, an address inside another item, a /31 and a /32 taken
# whole, a piece across two /24s; live hosts on the bridge (.1.255, .12.12, .12.100,
# .12.255) and behind the router (.0.1, .0.5, .77.0, .255.254): each address once,
# in address order.
survey 198.19.255.254/32,198.18.12.200-198.18.13.20,198.19.0.1-198.19.0.9,198.18.12.12/32,198.18.12.0/24,198.19.77.0/31,198.18.1.255/32

[ "$failed" = 0 ] && echo "every survey's rows are the lab's"
exit "$failed"
