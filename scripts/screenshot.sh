#!/usr/bin/env bash
# Runs the window under Xvfb and writes a screenshot of it to docs/main-window.png.
# Usage: scripts/screenshot.sh [build-dir] [output.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$(realpath -m "${2:-$root/docs/main-window.png}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export KX470_PORTS=${KX470_PORTS-}
xvfb-run -a -s '-screen 0 1280x1024x24' bash -c "
  '$build/kx470u' & app=\$!
  sleep \${KX470_SHOT_DELAY:-3}
  id=\$(xdotool search --sync --onlyvisible --name 'KX470U V1.27' | head -n 1)
  import -window \"\$id\" '$out'
  kill \$app; wait \$app 2>/dev/null || true
"
echo "wrote $out"
