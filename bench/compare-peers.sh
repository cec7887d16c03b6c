#!/usr/bin/env bash
# Times a whole /24 survey side by side with nmap -sn, arp-scan and fping -g, in
# the same network lab and the same run, and checks our rows against the lab. Ours
# twice: the survey engine alone (bench_survey_lab --rows) and the program as a
# script would run it (netroscope --survey --quiet).
#
# Usage (root: the lab is made of network namespaces):
#   bench/compare-peers.sh [runs] [range]  (default 7 runs of each, at least 5; the
#                                           lab's /24)
#
# The lab (tests/lab/netlab.sh, with its office LAN) holds 25 live hosts with MACs in
# 198.18.0.0/24: two drop ping, one is named only by NetBIOS and one only by
# multicast DNS; the rest of the range is dead. Another range (198.18.0.0/22,
# 198.18.0.0/20, 198.19.0.0/16, a comma-separated list of such, as the command line
# takes them) is surveyed in the wide lab (NETLAB_WIDE=1): the /20 on the bridge,
# with 13 more live hosts across its /24s, and the /16 behind its router. There
# the program alone stands for us, and the peers are nmap -sn, nmap -sn -n and, for
# a range wholly on the bridge, arp-scan; a routed row has no MAC, so our "hosts"
# count only the bridge's. COMPARE_PEERS_SKIP leaves the peers it names out (e.g.
# "nmap nmap-n": nmap waits for every dead address behind the router, which drops
# them silently, and takes hours on a /16). Every tool runs in both scanner
# set-ups: unprivileged echo sockets allowed, and refused (root then has raw sockets).
# Beside the times the table gives the hosts each tool found and the names it gave,
# and our hosts must be the set arp-scan finds. Every tool's neighbour tables are
# flushed before each measured run, and the tools take turns within a run, so
# that all of them meet the same conditions. Wall time, CPU (user + system, child
# processes included) and peak resident memory come from GNU time. Under the
# tables, the lines the kernel logged for an overflowing neighbour table while the
# tools ran (it must be none: one table serves every namespace of the machine).
#
# Exit status: 0 when our rows were right in every run, 1 when any was wrong, 2
# on a usage error or a range outside the lab; 77 when the lab cannot be built
# (not root).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
. "$root/tests/lab/lablib.sh"

if [ "${1:-}" != --inside ]; then
    runs=${1:-7}
    range=${2:-}
    [[ "$runs" =~ ^[0-9]+$ ]] && [ "$runs" -ge 5 ] && [ $# -le 2 ] || {
        echo "usage: $0 [runs, at least 5] [range]" >&2
        exit 2
    }
    wide=0
    if [ -n "$range" ]; then
        spans=$(lab_ranges spans "$range") || exit 2
        # The lab's own /24 (netlab.sh's), however written, is the run without a range.
        if [ "$spans" = 198.18.0.1-198.18.0.254 ]; then range=""; else wide=1; fi
    fi
    [ "$(id -u)" -eq 0 ] || {
        echo "compare-peers: the lab needs root" >&2
        exit 77
    }
    "$root/scripts/setup-deps.sh"
    # Benchmark tools only: the program never needs them.
    missing=()
    for tool in nmap arp-scan fping python3; do command -v "$tool" >/dev/null || missing+=("$tool"); done
    [ -x /usr/bin/time ] || missing+=(time)
    if [ ${#missing[@]} -gt 0 ]; then
        echo "compare-peers: installing ${missing[*]} for the comparison" >&2
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null 2>&1 || {
            echo "compare-peers: could not install ${missing[*]}" >&2
            exit 1
        }
    fi
    cmake --preset bench >/dev/null
    cmake --build --preset bench --target bench_survey_lab netroscope >/dev/null
    export BENCH_ENGINE="$root/build/bench/bench/bench_survey_lab"
    export BENCH_PROGRAM="$root/build/bench/src/netroscope"
    NETLAB_WIDE=$wide NETLAB_LAN=1 NETLAB_EXTRA_HOSTS=12 exec "$root/tests/lab/netlab.sh" run "$0" --inside "$runs" "$range"
fi

# Inside the lab's scanner namespace from here on.
runs=$2
range=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
range_first="$NETLAB_PREFIX.1"
range_last="$NETLAB_PREFIX.254"

# What a right survey prints: every address, the live ones with name and MAC.
if [ -z "$range" ]; then
    {
        for ((i = 1; i <= 254; i++)); do
            ip="$NETLAB_PREFIX.$i"
            line="$ip		"
            [ "$ip" = "$NETLAB_OWN_IP" ] && line="$ip	$NETLAB_OWN_NAME	$NETLAB_OWN_MAC"
            for h in $NETLAB_HOSTS; do
                IFS=, read -r hip hname hmac <<<"$h"
                [ "$hip" = "$ip" ] && line="$ip	$hname	$hmac"
            done
            printf '%s\n' "$line"
        done
    } >"$work/expected"
    live=$(echo "$NETLAB_HOSTS" | wc -w)
else
    # From the lab's variables; a routed row has its name alone.
    lab_ranges rows "$range" >"$work/expected"
    cut -f1 "$work/expected" >"$work/targets"
    spans=$(lab_ranges spans "$range")
    # On the bridge when every span lies in its network, else behind the router.
    onlink=1
    for span in $spans; do
        [ "$(lab_ranges spans "$NETLAB_WIDE_RANGE,$span")" = "$(lab_ranges spans "$NETLAB_WIDE_RANGE")" ] && continue
        onlink=0
        [ "$(lab_ranges spans "$NETLAB_ROUTED_RANGE,$span")" = "$(lab_ranges spans "$NETLAB_ROUTED_RANGE")" ] || {
            echo "compare-peers: $span is neither in $NETLAB_WIDE_RANGE nor in $NETLAB_ROUTED_RANGE" >&2
            exit 2
        }
    done
    addresses=$(wc -l <"$work/targets")
    [ "$addresses" -le 65536 ] || {
        echo "compare-peers: $addresses addresses, more than a survey takes (65536)" >&2
        exit 2
    }
    live=$(awk -F'\t' -v own="$NETLAB_OWN_IP" '$3 != "" && $1 != own { n++ } END { print n + 0 }' "$work/expected")
    routed=$(awk -F'\t' '$2 != "" && $3 == "" { n++ } END { print n + 0 }' "$work/expected")
fi

flush() {
    ip neigh flush all >/dev/null 2>&1 || true
    local ns
    for ns in $NETLAB_NAMESPACES; do ip -n "$ns" neigh flush all >/dev/null 2>&1 || true; done
}

# What a tool's output says it found: "hosts names", and the hosts' addresses in
# $work/found.<name>.
found() {
    local name=$1 out="$work/out.$1"
    case $name in
    engine | netroscope)
        awk -F'\t' '$3 != "" { print $1 }' "$out" >"$work/found.$name"
        # A routed row has its name without a MAC.
        awk -F'\t' -v wide="$range" '$2 != "" && ($3 != "" || wide) { n++ } END { print n + 0 }' "$out" \
            >"$work/names.$name"
        ;;
    nmap | nmap-n)
        grep -o 'Nmap scan report for .*' "$out" | awk '{ print $NF }' | tr -d '()' >"$work/found.$name"
        grep -c 'Nmap scan report for .* (' "$out" >"$work/names.$name" || true
        ;;
    arp-scan)
        awk -F'\t' '$1 ~ /^[0-9.]+$/ && $2 ~ /:/ { print $1 }' "$out" | sort -u >"$work/found.$name"
        echo 0 >"$work/names.$name"
        ;;
    fping)
        awk '/is alive/ { print $1 }' "$out" >"$work/found.$name"
        echo 0 >"$work/names.$name"
        ;;
    esac
    echo "$(sort -u "$work/found.$name" | wc -l) $(cat "$work/names.$name")"
}

# name command...: one measured run; appends "wall cpu peak_kB hosts names" to
# $work/<setup>.<name>.
measure() {
    local name=$1 mark
    shift
    flush
    mark=$(kernel_log_last)
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >"$work/out.$name" 2>/dev/null || true
    overflows_since "$mark" >>"$work/overflows.$name"
    # GNU time puts a line about a non-zero exit status first.
    tail -n 1 "$work/time" | awk -v f="$(found "$name")" \
        '{ printf "%s %.3f %s %s\n", $1, $2 + $3, $4, f }' >>"$work/$setup.$name"
}

# engine: the survey engine and probes alone (bench_survey_lab --rows);
# netroscope: the program, `netroscope --survey --quiet`, start-up included.
# nmap-n: nmap -sn -n, without its reverse DNS, which waits for its own resolver
# wherever a host's name is not in the hosts file (the NetBIOS and mDNS hosts here).
if [ -z "$range" ]; then
    tools=(engine netroscope nmap nmap-n arp-scan fping)
    ours=(engine netroscope)
else
    tools=(netroscope nmap nmap-n)
    [ "$onlink" = 1 ] && tools+=(arp-scan)
    ours=(netroscope)
fi
kept=()
for tool in "${tools[@]}"; do
    [ "$tool" != netroscope ] && [[ " ${COMPARE_PEERS_SKIP:-} " == *" $tool "* ]] && continue
    kept+=("$tool")
done
tools=("${kept[@]}")
wrong=0
first_mark=$(kernel_log_last)
for setup in echo-sockets raw-socket; do
if [ "$setup" = echo-sockets ]; then
    echo "0 2147483647" >/proc/sys/net/ipv4/ping_group_range
else
    echo "1 0" >/proc/sys/net/ipv4/ping_group_range
fi
for ((run = 1; run <= runs; run++)); do
    for tool in "${tools[@]}"; do
        case $tool in
        engine | netroscope)
            if [ "$tool" = engine ]; then
                measure "$tool" "$BENCH_ENGINE" --rows
            elif [ -z "$range" ]; then
                measure "$tool" "$BENCH_PROGRAM" --survey "$range_first-$range_last" --quiet
            else
                measure "$tool" "$BENCH_PROGRAM" --survey "$range" --quiet
            fi
            if ! cmp -s "$work/expected" "$work/out.$tool"; then
                echo "run $run: the rows of $tool differ from the lab:" >&2
                diff "$work/expected" "$work/out.$tool" | head -20 >&2 || true
                wrong=1
            fi
            ;;
        nmap | nmap-n)
            flags=(-sn)
            [ "$tool" = nmap-n ] && flags+=(-n)
            if [ -z "$range" ]; then
                measure "$tool" nmap "${flags[@]}" "$NETLAB_PREFIX.1-254"
            else
                measure "$tool" nmap "${flags[@]}" -iL "$work/targets"
            fi
            ;;
        arp-scan)
            if [ -z "$range" ]; then
                measure "$tool" arp-scan -I eth0 "$range_first-$range_last"
            else
                # shellcheck disable=SC2086 # a target each span
                measure "$tool" arp-scan -I eth0 $spans
            fi
            # arp-scan does not list the scanner itself.
            if ! diff -q <(grep -vx "$NETLAB_OWN_IP" "$work/found.netroscope" | sort) \
                "$work/found.arp-scan" >/dev/null; then
                echo "$setup run $run: our hosts are not the set arp-scan finds:" >&2
                diff <(grep -vx "$NETLAB_OWN_IP" "$work/found.netroscope" | sort) \
                    "$work/found.arp-scan" | head -10 >&2 || true
                wrong=1
            fi
            ;;
        fping) measure "$tool" fping -g "$range_first" "$range_last" ;;
        esac
    done
done
done
echo "0 2147483647" >/proc/sys/net/ipv4/ping_group_range

# name column -> "median min max" of that column over the runs of $setup.
stats() {
    sort -n -k"$2" "$work/$setup.$1" | awk -v c="$2" '
        { v[NR] = $c }
        END {
            m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%s %s %s\n", m, v[1], v[NR]
        }'
}

for setup in echo-sockets raw-socket; do
echo
if [ -z "$range" ]; then
    echo "Whole /24 ($range_first-$range_last, $live live hosts), $runs runs each, $(nproc) cores, $setup"
else
    echo "$range ($addresses addresses, $live live hosts on the bridge, $routed behind the router), $runs runs each, $(nproc) cores, $setup"
fi
echo "ratios: the program's (netroscope --survey) median over the tool's"
printf '%-11s %22s %14s %10s %12s %10s %6s %6s\n' tool "wall s: median (range)" "CPU s: median" "peak MiB" "wall ratio" "CPU ratio" hosts names
read -r our_wall _ _ < <(stats netroscope 1)
read -r our_cpu _ _ < <(stats netroscope 2)
fastest=""
for tool in "${tools[@]}"; do
    read -r wall lo hi < <(stats "$tool" 1)
    read -r cpu _ _ < <(stats "$tool" 2)
    read -r peak _ _ < <(stats "$tool" 3)
    read -r hosts _ _ < <(stats "$tool" 4)
    read -r names _ _ < <(stats "$tool" 5)
    ratio=-
    cpu_ratio=-
    if [[ " ${ours[*]} " != *" $tool "* ]]; then
        ratio=$(awk -v a="$our_wall" -v b="$wall" 'BEGIN { printf "%.2f", a / b }')
        cpu_ratio=$(awk -v a="$our_cpu" -v b="$cpu" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }')
        if [ -z "$fastest" ] || awk -v a="$wall" -v b="${fastest#* }" 'BEGIN { exit !(a < b) }'; then
            fastest="$tool $wall"
        fi
    fi
    printf '%-11s %7.2f (%.2f-%.2f) %14.3f %10.1f %12s %10s %6s %6s\n' "$tool" "$wall" "$lo" "$hi" "$cpu" \
        "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "$ratio" "$cpu_ratio" "$hosts" "$names"
done
if [ -n "$fastest" ]; then
    echo "fastest peer: ${fastest% *}; netroscope --survey takes $(awk -v a="$our_wall" -v b="${fastest#* }" 'BEGIN { printf "%.2f", a / b }') of its median wall time"
fi
done
echo
echo "neighbour table overflow lines in the kernel log during the benchmark: $(overflows_since "$first_mark") (must be 0)"
for tool in "${tools[@]}"; do
    awk -v tool="$tool" '$0 == "lost" { lost = 1 } { n += $0 }
        END { if (lost || n) printf "  while %s ran: %s\n", tool, lost ? "unknown, the log lost lines" : n }' \
        "$work/overflows.$tool"
done
if [ "$wrong" -ne 0 ]; then
    echo "our rows were WRONG in at least one run" >&2
    exit 1
fi
echo "our rows were right in every run"
