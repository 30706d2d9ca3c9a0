#!/usr/bin/env bash
# Runs a window test executable on the xcb platform: a fresh Xvfb server of its own, the openbox
# window manager on it (focus, activation and transient dialogs behave as on a desktop), and
# both stopped when the tests end. Listing the tests needs no display.
# Usage: run_under_xvfb.sh test-executable [arguments...]
set -euo pipefail
for argument in "$@"; do
  [[ "$argument" == --gtest_list_tests ]] && exec "$@"
done
for program in Xvfb openbox; do
  if ! command -v "$program" >/dev/null; then
    echo "$program is missing: run scripts/install-deps.sh" >&2
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kx470-xvfb.XXXXXX")
server=
manager=
cleanup() {
  [[ -n "$manager" ]] && kill "$manager" 2>/dev/null && wait "$manager" 2>/dev/null
  [[ -n "$server" ]] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The server picks a free display itself and writes its number to descriptor 3.
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$work/display" 2>"$work/server.log" &
server=$!
for _ in $(seq 200); do
  [[ -s "$work/display" ]] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.05
done
if [[ ! -s "$work/display" ]]; then
  echo "Xvfb did not start:" >&2
  cat "$work/server.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$work/display")"

# openbox runs its start-up command once it manages the screen.
openbox --sm-disable --startup "touch '$work/manager-ready'" >"$work/manager.log" 2>&1 &
manager=$!
for _ in $(seq 200); do
  [[ -e "$work/manager-ready" ]] && break
  kill -0 "$manager" 2>/dev/null || break
  sleep 0.05
done
if [[ ! -e "$work/manager-ready" ]]; then
  echo "openbox did not start:" >&2
  cat "$work/manager.log" >&2
  exit 1
fi

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
"$@"
