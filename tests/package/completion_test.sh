#!/usr/bin/env bash
# Tests kx470-cli's bash completion with bash-completion's own functions, against a built
# kx470-cli: commands, options, what an option takes (serial ports and 'auto' for --port, table
# files, JSON files), which argument a word is, and port:DEVICE for diff.
# Usage: tests/package/completion_test.sh KX470-CLI COMPLETION-FILE
set -uo pipefail
if [[ $# -ne 2 || ! -x $1 || ! -f $2 ]]; then
  echo "Usage: $0 KX470-CLI COMPLETION-FILE" >&2
  exit 2
fi
cli=$(realpath "$1")
completion=$(realpath "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/package/checks.sh"

if [[ ! -f /usr/share/bash-completion/bash_completion ]]; then
  echo "bash-completion is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
source /usr/share/bash-completion/bash_completion
source "$completion"
# Outside a real completion compopt refuses to run; what the completion asks of it is kept.
compopt() { compopt_asked+=" $*"; }

# The program as users type it (a link to the one tested: never write through it), and
# serial ports that are known to be there.
tmp=$(mktemp -d "${TMPDIR:-/tmp}/kx470-completion.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/bin" "$tmp/work/sub"
ln -s "$cli" "$tmp/bin/kx470-cli"
export PATH="$tmp/bin:$PATH"
export KX470_PORTS="$tmp/ttyFAKE0:$tmp/ttyFAKE1"
touch "$tmp/ttyFAKE0" "$tmp/ttyFAKE1"
cd "$tmp/work" || exit 1
touch site.tbl OLD.TBL north.json notes.txt

# completions LINE: sets `offered` to what completing at the end of LINE offers, sorted, one a
# line. The line is split into words as bash splits it (its word breaks include ':' and '=').
completions() {
  local line=$1 word
  COMP_WORDS=()
  for word in $line; do
    while [[ $word =~ ^([^:=]*)([:=])(.*)$ ]]; do
      [[ -n ${BASH_REMATCH[1]} ]] && COMP_WORDS+=("${BASH_REMATCH[1]}")
      COMP_WORDS+=("${BASH_REMATCH[2]}")
      word=${BASH_REMATCH[3]}
    done
    [[ -n $word ]] && COMP_WORDS+=("$word")
  done
  [[ $line == *" " || ${#COMP_WORDS[@]} -eq 0 ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  compopt_asked=
  _kx470_cli kx470-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  offered=
  if [[ ${#COMPREPLY[@]} -gt 0 ]]; then offered=$(printf '%s\n' "${COMPREPLY[@]}" | sort); fi
}
# offers LINE EXPECTED...: completing LINE offers exactly EXPECTED.
offers() {
  local line=$1
  shift
  completions "$line"
  equal "'$line'" "$(printf '%s\n' "$@" | grep -v '^$' | sort)" "$offered"
}
# offers_at_least LINE EXPECTED...: completing LINE offers each of EXPECTED, and maybe more.
offers_at_least() {
  local line=$1
  shift
  completions "$line"
  contains "'$line'" "$offered" "$@"
}

commands() {
  # Every command of the tool, and no word of its help's prose.
  offers_at_least "kx470-cli " ports probe read write verify check show build set diff &&
    equal "words offered for 'kx470-cli '" "" "$(grep -v '^[a-z][a-z-]*$' <<<"$offered")" &&
    offers "kx470-cli ve" verify &&
    offers "kx470-cli s" set show &&
    offers "kx470-cli --" --help --version &&
    offers "kx470-cli nosuchcommand "
}
check "commands come from the tool's help" commands

options() {
  offers "kx470-cli read --" --help --json --out --port --quiet &&
    offers "kx470-cli ports --" --help --json --probe --quiet &&
    offers "kx470-cli build --" --base --help --json --out --quiet &&
    offers "kx470-cli write --port auto --j" --json &&
    offers "kx470-cli check site.tbl -" -h --help --json --quiet
}
check "each command's options come from its own help" options

ports() {
  offers "kx470-cli write --port " auto "$tmp/ttyFAKE0" "$tmp/ttyFAKE1" &&
    offers "kx470-cli probe --port a" auto &&
    offers "kx470-cli read --port auto --port $tmp/ttyFAKE" "$tmp/ttyFAKE0" "$tmp/ttyFAKE1" &&
    KX470_PORTS=$tmp/ttyFAKE1 offers "kx470-cli verify --port " auto "$tmp/ttyFAKE1"
}
check "--port offers auto and the tool's serial ports (KX470_PORTS)" ports

files() {
  offers "kx470-cli write --port auto " OLD.TBL site.tbl sub &&
    offers "kx470-cli write --port auto s" site.tbl sub &&
    offers "kx470-cli check " OLD.TBL site.tbl sub &&
    offers "kx470-cli build " - north.json sub &&
    offers "kx470-cli build north.json --out " OLD.TBL site.tbl sub &&
    offers "kx470-cli build north.json --base " OLD.TBL site.tbl sub &&
    offers "kx470-cli read --port auto --out " OLD.TBL site.tbl sub
}
check "table files for FILE, JSON files for CONFIG.json" files

arguments() {
  # An option's value is not an argument; past the last argument nothing is offered, but the
  # last one of set takes any number of words.
  offers "kx470-cli write --port $tmp/ttyFAKE0 " OLD.TBL site.tbl sub &&
    offers "kx470-cli write --port $tmp/ttyFAKE0 site.tbl " &&
    offers "kx470-cli check site.tbl " &&
    offers "kx470-cli set " OLD.TBL site.tbl sub &&
    offers "kx470-cli set site.tbl bit_rate=1200 " &&
    offers "kx470-cli diff site.tbl OLD.TBL "
}
check "which argument a word is" arguments

diff_ports() {
  offers "kx470-cli diff " OLD.TBL port: site.tbl sub &&
    [[ $compopt_asked == *nospace* ]] || {
    echo "'port:' is offered without asking for no space after it"
    return 1
  }
  # bash puts back what comes after the last word break, the ':'.
  offers "kx470-cli diff site.tbl port:" "$tmp/ttyFAKE0" "$tmp/ttyFAKE1" &&
    offers "kx470-cli diff port:$tmp/ttyFAKE0 port:$tmp/ttyFAKE1" "$tmp/ttyFAKE1" &&
    offers "kx470-cli write --port auto port:"
}
check "diff offers port:DEVICE" diff_ports

# A command the completion has never seen completes from its help alone: a stand-in program
# whose one command takes any number of files.
new_command() {
  mkdir -p "$tmp/standin"
  PATH="$tmp/standin:$PATH"
  cat >"$tmp/standin/kx470-cli" <<'STANDIN'
#!/bin/sh
case "$1 $2" in
  "help "*) printf 'Usage: kx470-cli COMMAND\n\nCommands:\n  page  --to ID FILE...  send\n\nMore.\n' ;;
  "page --help") printf 'Usage: kx470-cli page --to ID FILE...\n\n  --wait SECONDS  how long\n' ;;
  *) exit 2 ;;
esac
STANDIN
  chmod +x "$tmp/standin/kx470-cli"
  offers "kx470-cli " page &&
    offers "kx470-cli page --" --to --wait &&
    offers "kx470-cli page --to " &&
    offers "kx470-cli page --to 7 " OLD.TBL site.tbl sub &&
    offers "kx470-cli page --to 7 site.tbl --wait 3 OLD.TBL " OLD.TBL site.tbl sub
}
check "a new command completes from its help" new_command

summary completion
