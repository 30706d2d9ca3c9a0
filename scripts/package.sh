#!/usr/bin/env bash
# Builds the Debian package kx470u_<version>_amd64.deb into the top of the tree, from a Release
# build (with Debian's hardening flags) in build-package, then tests it with
# tests/package/package_test.sh: its metadata and files, an install into a scratch root and
# what it installed at work, and lintian. Installs what is missing first.
# Usage: scripts/package.sh [--no-test]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
run_test=1
case "${1:-}" in
  "") ;;
  --no-test) run_test= ;;
  *)
    echo "Usage: scripts/package.sh [--no-test]" >&2
    exit 2
    ;;
esac

"$root/scripts/install-deps.sh" dpkg-dev help2man lintian appstream desktop-file-utils \
  bash-completion man-db file
umask 022 # the package's files and folders are readable by all

# The same tree gives the same package: its dates are those of the last commit.
if [[ -z "${SOURCE_DATE_EPOCH:-}" ]]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
  export SOURCE_DATE_EPOCH
fi
# Debian's compiler and linker flags for packages (stack protector, fortify, relro, now).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CXXFLAGS $CPPFLAGS"

build="$root/build-package"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKX470_WERROR=ON -DKX470_TESTS=OFF \
  -DKX470_BENCH=OFF -DKX470_MANPAGES=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/kx470u_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/kx470u_*_amd64.deb)
if [[ ${#debs[@]} -ne 1 || ! -f ${debs[0]} ]]; then
  echo "cpack made no kx470u_*_amd64.deb in $build" >&2
  exit 1
fi
rm -f "$root"/kx470u_*_amd64.deb
cp "${debs[0]}" "$root/"
deb="$root/$(basename "${debs[0]}")"
echo "Built $deb"

if [[ -n "$run_test" ]]; then
  "$root/tests/package/package_test.sh" "$deb"
fi
