# Sourced by the scripts that check a survey against the lab (tests/lab/netlab.sh):
# the rows a right survey of a range prints there, and the kernel's log since a
# point, in which an overflowing neighbour table shows.

# $1 what (spans or rows), $2 ranges as the command line takes them ("attached"
# aside): the merged spans "first-last", one a line, or the rows. An item of
# another form ends it with status 2.
lab_ranges() {
    awk -v what="$1" -v ranges="$2" \
        -v known="${NETLAB_OWN_IP:-},${NETLAB_OWN_NAME:-},${NETLAB_OWN_MAC:-} ${NETLAB_HOSTS:-} ${NETLAB_ROUTED_HOSTS:-}" '
        function number(dotted, o) {
            split(dotted, o, ".")
            return ((o[1] * 256 + o[2]) * 256 + o[3]) * 256 + o[4]
        }
        function text(n) {
            return sprintf("%d.%d.%d.%d", int(n / 16777216), int(n / 65536) % 256, int(n / 256) % 256, n % 256)
        }
        BEGIN {
            n = split(known, hosts, " ")
            for (i = 1; i <= n; i++) {
                split(hosts[i], f, ",")
                row[f[1]] = f[2] "\t" f[3]
            }
            n = split(ranges, items, ",")
            for (i = 1; i <= n; i++) {
                if (items[i] !~ /^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+(\/[0-9]+|-[0-9]+(\.[0-9]+\.[0-9]+\.[0-9]+)?)?$/) {
                    print "not a range: " items[i] > "/dev/stderr"
                    exit 2
                }
                if (split(items[i], c, "/") == 2) {
                    # A /31 or /32 is taken whole, a larger network without its ends.
                    size = 2 ^ (32 - c[2])
                    lo[i] = number(c[1]) - number(c[1]) % size
                    hi[i] = lo[i] + size - 1
                    if (c[2] <= 30) {
                        lo[i]++
                        hi[i]--
                    }
                } else if (split(items[i], e, "-") == 2) {
                    lo[i] = number(e[1])
                    hi[i] = e[2] ~ /\./ ? number(e[2]) : lo[i] - lo[i] % 256 + e[2]
                } else {
                    lo[i] = hi[i] = number(items[i])
                }
            }
            # The lowest item first each time; what an earlier one covered is left out.
            end = -1
            spans = 0
            for (k = 1; k <= n; k++) {
                m = 0
                for (i = 1; i <= n; i++)
                    if (!(i in taken) && (m == 0 || lo[i] < lo[m])) m = i
                taken[m] = 1
                from = lo[m] > end ? lo[m] : end + 1
                if (from > hi[m]) continue
                if (what == "spans") {
                    if (from == end + 1) spans--
                    else first[spans] = from
                    last[spans++] = hi[m]
                }
                for (a = from; what == "rows" && a <= hi[m]; a++) {
                    ip = text(a)
                    print ip "\t" (ip in row ? row[ip] : "\t")
                }
                end = hi[m]
            }
            for (s = 0; s < spans; s++) print text(first[s]) "-" text(last[s])
        }'
}

# The sequence number of the kernel log's newest record (-1 for none yet).
kernel_log_last() {
    kernel_log_since -1 | awk -F'\t' '$0 != "lost" { n = $1 } END { print n == "" ? -1 : n }'
}

# The kernel log's records after sequence number $1, "number<TAB>message" each, and
# a line "lost" where records after it were overwritten before they were read.
kernel_log_since() {
    python3 - "$1" <<'EOF'
import os, sys
after = int(sys.argv[1])
fd = os.open("/dev/kmsg", os.O_RDONLY | os.O_NONBLOCK)
expected = after + 1 if after >= 0 else None
while True:
    try:
        record = os.read(fd, 8192)
    except BlockingIOError:
        break
    except BrokenPipeError:
        # Overwritten as it was read: the next read starts at the oldest one kept.
        continue
    head, _, message = record.decode("utf-8", "replace").partition(";")
    number = int(head.split(",")[1])
    if expected is not None and number > expected and number > after + 1:
        print("lost")
    expected = number + 1
    if number > after:
        print(f"{number}\t{message.splitlines()[0] if message else ''}")
EOF
}

# How many "neighbor table overflow" lines the kernel logged after record $1, or
# "lost" when it cannot tell.
overflows_since() {
    kernel_log_since "$1" | awk '$0 == "lost" { lost = 1 } /neighbor table overflow/ { n++ }
        END { print lost ? "lost" : n + 0 }'
}
