# bash completion for kx470-cli                                  -*- shell-script -*-
#
# The commands, their options and what each option takes are read from the program's own help
# ('kx470-cli help' and 'kx470-cli COMMAND --help'), so that a new command or option completes
# as soon as the program has it. What a word takes is told by its name in the usage line:
# DEVICE a serial port (and 'auto' where the command's help offers '--port auto'), FILE a table
# file (*.tbl), a name ending in .json a JSON file; any other name a table file or
# port:DEVICE where the command's help offers port:DEVICE, and nothing otherwise (a number, a
# FIELD=VALUE).

# The commands: the first word of each line of the help's "Commands:" block.
_kx470_cli_commands() {
  "$1" help 2>/dev/null |
    awk '/^Commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } on && /^$/ { exit }'
}

# The words of a command's help: one line each, "option NAME [VALUE]" for its options (from
# its usage line and from the lines its help starts with an option) and "argument VALUE" for
# its arguments in the order the usage line gives them.
_kx470_cli_words() {
  awk '
    NR == 1 && /^Usage:/ {
      for (i = 4; i <= NF; i++) {
        word = $i; gsub(/[][]/, "", word)
        if (word ~ /^-/) {
          value = ""
          if (i < NF && $i !~ /\]$/ && $(i + 1) !~ /^[[-]/) {
            value = $(i + 1); gsub(/[][]/, "", value); i++
          }
          print "option", word, value
        } else {
          print "argument", word
        }
      }
      next
    }
    /^  +-/ {
      sub(/^ +/, ""); split($0, parts, /   */)
      n = split(parts[1], list, /, */)
      for (j = 1; j <= n; j++) {
        split(list[j], pair, / /)
        if (pair[1] ~ /^-/) print "option", pair[1], pair[2]
      }
    }'
}

# The serial ports kx470-cli would use (its port list, which KX470_PORTS replaces) and the
# adapters' stable names.
_kx470_cli_devices() {
  "$1" ports 2>/dev/null | cut -f 3
  compgen -G '/dev/serial/by-id/*' 2>/dev/null
}

# Completes the current word as a value called `kind` in the help of command `command`.
_kx470_cli_value() {
  local program=$1 help=$2 kind=$3
  case $kind in
    DEVICE*)
      local devices
      devices=$(_kx470_cli_devices "$program")
      if [[ $help == *'--port auto'* ]]; then devices+=$'\n'auto; fi
      COMPREPLY=($(compgen -W "$devices" -- "$cur"))
      ;;
    *.json)
      _filedir json
      [[ - == "$cur"* ]] && COMPREPLY+=(-)
      ;;
    FILE*) _filedir tbl ;;
    *)
      [[ $help == *port:DEVICE* ]] || return
      if [[ $cur == port:* ]]; then
        COMPREPLY=($(compgen -P port: -W "$(_kx470_cli_devices "$program")" -- "${cur#port:}"))
        __ltrim_colon_completions "$cur"
        return
      fi
      _filedir tbl
      if [[ port: == "$cur"* ]]; then
        COMPREPLY+=(port:)
        compopt -o nospace
      fi
      ;;
  esac
}

_kx470_cli() {
  local cur prev words cword
  _init_completion -n := || return
  local program=${words[0]}

  if ((cword == 1)); then
    if [[ $cur == -* ]]; then
      COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
    else
      COMPREPLY=($(compgen -W "$(_kx470_cli_commands "$program")" -- "$cur"))
    fi
    return
  fi

  local command=${words[1]} help
  help=$("$program" "$command" --help 2>/dev/null) || return
  local -a options=() takes=() arguments=()
  local kind name value
  while read -r kind name value; do
    if [[ $kind == option ]]; then
      options+=("$name")
      takes+=("$value")
    else
      arguments+=("$name")
    fi
  done < <(_kx470_cli_words <<<"$help")

  # The option before the word: the word is its value when it takes one.
  local i
  for i in "${!options[@]}"; do
    if [[ $prev == "${options[i]}" && -n ${takes[i]} ]]; then
      _kx470_cli_value "$program" "$help" "${takes[i]}"
      return
    fi
  done

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(printf '%s\n' "${options[@]}" | sort -u)" -- "$cur"))
    return
  fi

  # Which argument the word is: the words after the command that are neither options nor
  # their values; the last argument takes any number of words when it ends in "...".
  local count=0 j word skip=
  for ((j = 2; j < cword; j++)); do
    word=${words[j]}
    if [[ -n $skip ]]; then
      skip=
      continue
    fi
    if [[ $word == -?* ]]; then
      for i in "${!options[@]}"; do
        [[ $word == "${options[i]}" && -n ${takes[i]} ]] && skip=1
      done
      continue
    fi
    ((count++))
  done
  local last=$((${#arguments[@]} - 1))
  ((last < 0)) && return
  if ((count > last)); then
    [[ ${arguments[last]} == *... ]] || return
    count=$last
  fi
  _kx470_cli_value "$program" "$help" "${arguments[count]%...}"
} &&
  complete -F _kx470_cli kx470-cli

# ex: filetype=sh
