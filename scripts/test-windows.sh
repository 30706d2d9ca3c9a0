#!/usr/bin/env bash
# Cross-builds the core and its tests for 64-bit Windows with mingw-w64, warnings as errors,
# and runs the tests under Wine without a display: the portable tests of the core, the Windows
# table files, port discovery, and the Win32 serial port linking, reading, writing and
# verifying against the encoder simulator on COM5. Installs what it needs first. Arguments go
# to ctest (for example -R test_com_link).
#
# The simulator is a Linux program: it comes from the native build in build-test, made with
# the settings of scripts/test.sh (so that after test.sh it is already there). Every run of
# the tests gets a Wine prefix of its own in a temporary folder, set up once (wineboot) and
# removed at the end.
#
# Run by root (as CI does), it then runs the Wine tests a second time as an unprivileged user,
# KX470_TEST_USER (default kx470test, created as scripts/test.sh creates it), with a prefix of
# that user's own. When that user cannot read the checkout, a copy in /var/tmp is built and
# tested instead; scripts/test.sh hands over its own copy in KX470_TEST_SOURCE.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix wine64 googletest
umask 022 # the unprivileged run reads what root builds

wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
src=${KX470_TEST_SOURCE:-$root}
user=
work=$(mktemp -d /var/tmp/kx470-windows.XXXXXX)
chmod 755 "$work"
prefixes=()
cleanup() {
  local prefix
  for prefix in "${prefixes[@]}"; do
    # Ends the Wine server of that prefix (and anything left running in it).
    if [[ -n $user && $prefix == "$work/$user/"* ]]; then
      as_user env WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true
    else
      WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true
    fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=scripts/test-common.sh
source "$root/scripts/test-common.sh"

if [[ $(id -u) -eq 0 ]]; then
  pick_test_user
  if [[ -z ${KX470_TEST_SOURCE:-} ]] &&
    ! as_user test -r "$src/tests/windows/run_under_wine.sh" -a -x "$src/tests/windows" \
      2>/dev/null; then
    copy_checkout "$src" "$work"
  fi
fi

# The simulator, native, with the settings of scripts/test.sh.
native="$src/build-test"
configure_sanitized "$src" "$native"
cmake --build "$native" -j"$(nproc)" --target kx470-sim

build="$src/build-windows"
cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX470_QT=OFF -DKX470_BENCH=OFF -DKX470_WERROR=ON \
  -DKX470_NATIVE_SIM="$native/tools/encoder_sim/kx470-sim" >/dev/null
cmake --build "$build" -j"$(nproc)"

# new_prefix DIR [wrapper...]: an initialised Wine prefix in DIR. A server kept running for the
# prefix serves wineboot, the longest start of Wine, and then every test program.
new_prefix() {
  local prefix=$1
  shift
  prefixes+=("$prefix")
  local log=$prefix.log
  # Wine takes only a prefix that its user owns.
  "$@" mkdir -p "$prefix"
  if ! "$@" env WINEPREFIX="$prefix" "$wineserver" -p >"$log" 2>&1 ||
    ! "$@" env WINEPREFIX="$prefix" WINEDEBUG=-all DISPLAY= "$wine" wineboot -i >>"$log" 2>&1 ||
    [[ ! -d $prefix/dosdevices ]]; then
    echo "Wine did not set up the prefix $prefix:" >&2
    cat "$log" >&2
    exit 1
  fi
}

# run_suite WHO DIR PREFIX [wrapper...]: ctest in DIR with that Wine prefix; a failure adds
# a line about WHO to the summary.
summary=()
run_suite() {
  local who=$1 dir=$2 prefix=$3
  shift 3
  rm -f "$dir/Testing/Temporary/LastTestsFailed.log"
  if (cd "$dir" && "$@" env WINEPREFIX="$prefix" \
    ctest --output-on-failure -j"$(nproc)" "${ctest_args[@]}"); then
    return 0
  fi
  local failed="$dir/Testing/Temporary/LastTestsFailed.log"
  if [[ -s "$failed" ]]; then
    summary+=("As $who, $(wc -l <"$failed") failed under Wine:" "$(sed 's/^[0-9]*:/  /' "$failed")")
  else
    summary+=("As $who, ctest failed under Wine (see above)")
  fi
}
ctest_args=("$@")

echo "=== The Windows tests under Wine as $(id -un) ==="
mkdir "$work/$(id -un)"
new_prefix "$work/$(id -un)/wine"
run_suite "$(id -un)" "$build" "$work/$(id -un)/wine"

if [[ -n "$user" ]]; then
  # As in scripts/test.sh: a scratch folder the user owns, whose test file includes the
  # build's tests as they are, with their absolute paths.
  scratch="$work/$user"
  mkdir -p "$scratch/home" "$scratch/runtime"
  chmod 700 "$scratch/runtime"
  quoted=${build//\\/\\\\}
  printf 'subdirs("%s")\n' "${quoted//\"/\\\"}" >"$scratch/CTestTestfile.cmake"
  chown -R "$user:" "$scratch"
  user_env=(env HOME="$scratch/home" USER="$user" LOGNAME="$user"
    XDG_RUNTIME_DIR="$scratch/runtime")
  echo
  echo "=== The Windows tests under Wine again as the unprivileged user $user ==="
  new_prefix "$scratch/wine" as_user "${user_env[@]}"
  run_suite "the unprivileged user $user" "$scratch" "$scratch/wine" as_user "${user_env[@]}"
fi

if [[ ${#summary[@]} -gt 0 ]]; then
  echo
  echo "=== FAILED ==="
  printf '%s\n' "${summary[@]}"
  exit 1
fi
echo
echo "=== Every Windows test passed under Wine${user:+, as root and as $user} ==="
