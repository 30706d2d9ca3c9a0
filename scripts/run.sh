#!/usr/bin/env bash
# Installs what is missing, builds, and starts the programming tool with the encoder simulator
# attached: the simulator serves examples/demo.tbl on a pseudo terminal, the tool's presence
# poll links to it within seconds, and F3 reads the example. Closing the window stops the
# simulator. Set KX470_NO_SIM=1 to start the tool alone, on the real serial ports.
# Without a display (a server, a container), or when KX470_HEADLESS=1 asks for it, the window
# runs on a virtual X server started with xvfb-run, which the first step installs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKX470_TESTS=OFF -DKX470_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target kx470u kx470-sim kx470-cli

launch=()
headless=
if [[ -n "${KX470_HEADLESS:-}" ]]; then
  headless="KX470_HEADLESS is set"
elif [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]]; then
  headless="No display (DISPLAY and WAYLAND_DISPLAY are not set)"
fi
if [[ -n "$headless" ]]; then
  echo "$headless: the window runs on a virtual X server (xvfb-run); Ctrl+C ends it"
  launch=(xvfb-run -a -s "-screen 0 1280x1024x24")
fi

if [[ -n "${KX470_NO_SIM:-}" ]]; then
  exec "${launch[@]}" "$build/kx470u" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kx470-demo.XXXXXX")
sim_pid=
cleanup() {
  [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

"$build/tools/encoder_sim/kx470-sim" --image "$root/examples/demo.tbl" --pace \
  --save "$work/encoder.tbl" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 50); do
  [[ -s "$work/sim.out" ]] && break
  sleep 0.1
done
port=$(head -n 1 "$work/sim.out")
if [[ -z "$port" ]]; then
  echo "The encoder simulator did not start:" >&2
  cat "$work/sim.err" >&2
  exit 1
fi
echo "Encoder simulator on $port (serving examples/demo.tbl)"
# The tool keeps its INI file and default table in its working directory: use the demo's own.
cd "$work"
KX470_PORTS="$port" "${launch[@]}" "$build/kx470u" "$@"
