#!/bin/sh
# Makes a program's man page from its own --help and --version with help2man, so that the page
# says what the program says. kx470-cli's page also gets a section per command, made from
# 'kx470-cli COMMAND --help' for each command its help lists, and the options every command
# takes.
# Usage: manpage.sh HELP2MAN PROGRAM BINARY NAME OUTPUT
set -eu
help2man=$1 program=$2 binary=$3 name=$4 out=$5
include=$out.h2m

# Help text to roff: lines at the left margin are filled as paragraphs, a blank line starts a
# new one, indented lines (examples, tables) are kept as they are.
to_roff() {
  awk '
    function esc(s) {
      gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s)
      if (s ~ /^[.'\'']/) s = "\\&" s
      return s
    }
    function close_literal() { if (literal) { print ".fi"; print ".RE"; literal = 0 } }
    /^$/ { close_literal(); print ".PP"; next }
    /^[ \t]/ {
      if (!literal) { print ".RS 4"; print ".nf"; literal = 1 }
      sub(/^  /, ""); print esc($0); next
    }
    { close_literal(); print esc($0) }
    END { close_literal() }'
}

set --
if [ "$program" = kx470-cli ]; then
  commands=$("$binary" help | awk '/^Commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } on && /^$/ { exit }')
  [ -n "$commands" ] || { echo "$binary help lists no command" >&2; exit 1; }
  common="Options of every command:"
  {
    echo "[COMMANDS]"
    for command in $commands; do
      "$binary" "$command" --help >"$out.help"
      usage=$(sed -n '1s/^Usage: //p' "$out.help")
      [ -n "$usage" ] || { echo "$binary $command --help gives no usage line" >&2; exit 1; }
      echo ".SS \"$(printf '%s' "$usage" | sed 's/\\/\\e/g; s/-/\\-/g; s/"/\\(dq/g')\""
      # The usage line is the heading; the options every command takes are told once, below.
      sed "1d; /^$common\$/,\$d" "$out.help" | sed '1{/^$/d}' | to_roff
    done
    echo "[OPTIONS]"
    # Each option of the common block as a tagged paragraph.
    sed -n "/^$common\$/,\$p" "$out.help" | sed 1d | awk '
      /^  -/ {
        split($0, parts, /   +/); sub(/^ +/, "", parts[1])
        gsub(/-/, "\\-", parts[1]); gsub(/-/, "\\-", parts[2])
        print ".TP"; print "\\fB" parts[1] "\\fR"; print parts[2]
      }'
    printf ".PP\nEach command takes these besides its own.\n"
  } >"$include"
  rm -f "$out.help"
  set -- --include="$include"
fi
"$help2man" --no-info --no-discard-stderr --name="$name" "$@" --output="$out" "$binary"
rm -f "$include"
