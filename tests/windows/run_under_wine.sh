#!/usr/bin/env bash
# Runs a Windows test program under Wine, headless (no display, no Wine diagnostics), in the
# prefix WINEPREFIX names: one made for the test run (scripts/test-windows.sh makes it).
#
#   run_under_wine.sh [--sim SIMULATOR] PROGRAM.exe [ARGUMENTS...]
#
# With --sim, the encoder simulator (a program of the Linux side) serves COM5 while the program
# runs: the prefix's dosdevices/com5, which Wine opens for COM5, is the simulator's link to its
# pseudo terminal, and KX470_TEST_PORT tells the program the port's name. The simulator is
# stopped by its process id when the program ends.
set -euo pipefail
sim=
if [[ ${1:-} == --sim ]]; then
  sim=$2
  shift 2
fi
if [[ -z ${WINEPREFIX:-} || ! -d $WINEPREFIX/dosdevices ]]; then
  echo "run_under_wine.sh: WINEPREFIX must name an initialised Wine prefix for this run" >&2
  exit 2
fi
export WINEPREFIX WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
wine=${KX470_WINE:-$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)}
if [[ -z $sim ]]; then
  exec "$wine" "$@"
fi

exec 3< <(exec "$sim" --link "$WINEPREFIX/dosdevices/com5")
pid=$!
stop() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
trap stop EXIT
# The simulator writes its terminal's path once the terminal and the link are there.
if ! read -r -t 20 terminal <&3; then
  echo "run_under_wine.sh: the simulator $sim did not start" >&2
  exit 2
fi
echo "COM5 is the simulator's terminal $terminal"
KX470_TEST_PORT=COM5 "$wine" "$@"
