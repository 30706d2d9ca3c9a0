#!/usr/bin/env bash
# Runs the window under Xvfb against the encoder simulator serving examples/demo.tbl, reads
# the demo configuration with F3 and writes a screenshot of the window to docs/main-window.png.
# Usage: scripts/screenshot.sh [build-dir] [output.png]   (needs xvfb, xdotool and imagemagick)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$(realpath -m "${2:-$root/docs/main-window.png}")
work=$(mktemp -d)
"$build/tools/encoder_sim/kx470-sim" --image "$root/examples/demo.tbl" >"$work/sim.out" &
sim=$!
trap 'kill $sim 2>/dev/null; rm -rf "$work"' EXIT
sleep 0.5
port=$(head -n 1 "$work/sim.out")
cd "$work"
KX470_PORTS="$port" xvfb-run -a -s '-screen 0 1280x1024x24' bash -c "
  '$build/kx470u' & app=\$!
  id=\$(xdotool search --sync --onlyvisible --name 'KX470U V1.27' | head -n 1)
  sleep 4
  xdotool windowactivate --sync \$id 2>/dev/null || true
  xdotool windowfocus --sync \$id; sleep 0.3
  xdotool key F3; sleep 2
  xdotool key Return; sleep 0.7
  import -window \"\$id\" '$out'
  kill \$app; wait \$app 2>/dev/null || true
"
echo "wrote $out"
