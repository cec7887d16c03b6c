#!/usr/bin/env bash
# Compiles every source of a Windows build with -fsyntax-only under Debian's
# mingw-w64 g++ against Qt's headers: the Windows profile's system calls and
# the rest of the program stay valid Windows C++ although nothing is built or
# run for Windows here. It proves no link and no run.
#
# Usage: scripts/windows-syntax.sh <build folder>
#   (the folder of a configured build: its windows-syntax/ lists what a Windows
#   build compiles, with which include folders and definitions)
# Exit status: 0 when every file compiles, 1 otherwise, 77 when the compiler is
# not installed (package g++-mingw-w64-x86-64-posix).
set -uo pipefail

lists="${1:?usage: $0 <build folder>}/windows-syntax"
compiler=x86_64-w64-mingw32-g++-posix
command -v "$compiler" >/dev/null || {
    echo "windows-syntax: $compiler is not installed; skipping" >&2
    exit 77
}

args=(-std=c++20 -fsyntax-only -DUNICODE -D_UNICODE)
while IFS= read -r dir; do
    # The host's own system headers would hide the Windows ones.
    case "$dir" in "" | /usr/include | /usr/local/include | */mkspecs/*) continue ;; esac
    args+=(-I "$dir")
done <"$lists/includes.txt"
while IFS= read -r define; do
    [ -n "$define" ] && args+=("-D$define")
done <"$lists/defines.txt"

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
compile() {
    "$compiler" "${args[@]}" "$2" 2>"$logs/$1" || echo "$1 $2" >>"$logs/failed"
}
number=0
while IFS= read -r source; do
    [ -z "$source" ] && continue
    number=$((number + 1))
    compile "$number" "$source" &
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n; done
done <"$lists/sources.txt"
wait
status=0
if [ -f "$logs/failed" ]; then
    while read -r number source; do
        echo "windows-syntax: $source does not compile for Windows:" >&2
        head -40 "$logs/$number" >&2
    done <"$logs/failed"
    status=1
fi
count=$(grep -c . "$lists/sources.txt")
[ "$status" -eq 0 ] && echo "windows-syntax: $count files compile for Windows"
exit "$status"
