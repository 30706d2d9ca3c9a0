# The checks of the package and completion tests: each check runs a command and counts it; a
# failure tells the check's name and what the command printed. The caller prints the count.
passed=0
failed=0
# check NAME COMMAND...: one check; a failure tells its name and what the command printed.
check() {
  local name=$1 out
  shift
  if out=$("$@" 2>&1); then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
    [[ -n "$out" ]] && sed 's/^/    /' <<<"$out"
  fi
}
# equal WHAT EXPECTED ACTUAL
equal() {
  [[ "$2" == "$3" ]] && return 0
  printf '%s: expected\n%s\ngot\n%s\n' "$1" "$2" "$3"
  return 1
}
# contains WHAT TEXT LINE...: every LINE is a whole line of TEXT.
contains() {
  local what=$1 text=$2 line status=0
  shift 2
  for line in "$@"; do
    if ! grep -qxF -- "$line" <<<"$text"; then
      echo "$what lacks: $line"
      status=1
    fi
  done
  return $status
}

# The closing line of a test script, and its exit status.
summary() {
  echo
  echo "$1: $passed passed, $failed failed"
  [[ $failed -eq 0 ]]
}
