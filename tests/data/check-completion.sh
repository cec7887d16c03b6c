#!/usr/bin/env bash
# Drives the bash completion as bash does on Tab: COMP_WORDS split at the word breaks
# ('=' is a word of its own), the cursor at the end of the last word.
# Usage: check-completion.sh NETROSCOPE COMPLETION-FILE
set -uo pipefail
export LC_ALL=C
program=$1
functions=/usr/share/bash-completion/bash_completion
[ -r "$functions" ] || { echo "bash-completion is not installed"; exit 77; }
source "$functions"
source "$2"

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && mkdir lists && touch list.csv other.prom

completions() {
  COMP_WORDS=($1)
  [[ $1 == *' ' ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=${1// = /=}
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _netroscope netroscope "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}

options=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help |
  sed -nE 's/^ +(-[^ ,]+, )*(--[a-z]+).*/\2/p' | sort | paste -sd' ')
status=0
while IFS='|' read -r line expected; do
  got=$(completions "$line")
  [ "$got" = "$expected" ] || { echo "'$line': expected '$expected', got '$got'"; status=1; }
done <<TABLE
netroscope --|$options
netroscope --survey a|attached
netroscope --survey = at|attached
netroscope --csv l|list.csv lists
netroscope --against = l|list.csv lists
netroscope --survey --metrics |list.csv lists other.prom
netroscope --version |
netroscope --survey 10.0.0.0/24 l|
TABLE
exit $status
