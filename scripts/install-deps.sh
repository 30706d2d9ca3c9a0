#!/usr/bin/env bash
# Installs with apt-get whatever the build, the tests and the demo need and is missing.
# Usage: scripts/install-deps.sh [extra packages...]
set -euo pipefail
packages=(build-essential cmake pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev
          libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libudev-dev fonts-dejavu-core fonts-wqy-microhei xvfb xauth "$@")
# The window tests on the xcb platform: a window manager on Xvfb, and XTest for real input.
packages+=(openbox libxtst-dev)
# The completion test of kx470-cli uses bash-completion's functions.
packages+=(bash-completion)
# The independent POCSAG decoder that checks every page the tool and the simulator send.
packages+=(multimon-ng)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
