#!/usr/bin/env bash
# The built manual pages: man and groff format them without a warning, whatis finds
# each by its NAME line, and each describes every long option `netroscope --help`
# lists, so that the pages cannot fall behind the program.
# Usage: check-manpages.sh NETROSCOPE PAGE.gz...
set -euo pipefail
program=$1
shift
command -v man >/dev/null && command -v lexgrog >/dev/null ||
  { echo "man or lexgrog is not installed (package man-db)"; exit 77; }

options=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help |
  sed -nE 's/^ +(-[^ ,]+, )*(--[a-z]+).*/\2/p' | sort -u)
[ "$(wc -l <<<"$options")" -ge 10 ] || { echo "too few options in --help:"; echo "$options"; exit 1; }

status=0
for page in "$@"; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "$page: $warnings"; status=1; }
  lexgrog "$page" | grep -q ': "netroscope - .' || { echo "$page: no whatis line"; status=1; }
  text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null)
  for option in $options; do
    # An entry of its own under OPTIONS: the option begins a line, after short ones.
    grep -qE "^ {7}(-[^ ,]+, )*$option( |\$)" <<<"$text" ||
      { echo "$page: $option has no entry"; status=1; }
  done
done
exit $status
