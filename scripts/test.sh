#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test under them. Arguments go to both ctest runs (for example -R TPty).
#
# Run by root (as CI does), it then runs the suite a second time as an unprivileged user, so
# that a fault only a normal user meets (a port left in exclusive use, a device or a folder the
# user may not write) fails the run instead of passing unseen. That user is KX470_TEST_USER, by
# default the system user kx470test, created on first use in the dialout group like a user at
# the bench. It runs the same build, through ctest from a scratch folder of its own. When it
# cannot read the checkout (a clone below /root, say), the build and both runs use a copy of the
# checkout in /var/tmp, removed at the end; nothing outside the tree changes its permissions.
#
# At the end it runs scripts/test-windows.sh: the Windows cross-build and its tests under Wine,
# and, when no ctest arguments pick tests, scripts/package.sh: the Debian package built from a
# Release build and tested (a few minutes more each). KX470_SKIP_WINDOWS=1 and
# KX470_SKIP_PACKAGE=1 leave them out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
umask 022 # the unprivileged run reads what root builds

src=$root
user=
work=
cleanup() {
  if [[ -n "$work" ]]; then rm -rf "$work"; fi
}
trap cleanup EXIT

# shellcheck source=scripts/test-common.sh
source "$root/scripts/test-common.sh"

# Whether the user can read the sources (and a build left by an earlier run) where they are.
user_reads_checkout() {
  as_user sh -c '
    cd "$1" || exit 1
    bad=$(find . \( -path "./build*" -o -path ./.git \) -prune -o \
            \( ! -readable -o -type d ! -executable \) -print -quit) || exit 1
    if [ -z "$bad" ] && [ -d build-test ]; then
      bad=$(find build-test \( ! -readable -o -type d ! -executable \) -print -quit) || exit 1
    fi
    [ -z "$bad" ]' sh "$root" 2>/dev/null
}

if [[ $(id -u) -eq 0 ]]; then
  pick_test_user
  work=$(mktemp -d /var/tmp/kx470-test.XXXXXX)
  chmod 755 "$work"
  if ! user_reads_checkout; then
    copy_checkout "$root" "$work"
  fi
fi

build="$src/build-test"
configure_sanitized "$src" "$build"
export QT_QPA_PLATFORM=offscreen
cmake --build "$build" -j"$(nproc)"

# run_suite WHO DIR: ctest in DIR; a failure adds a line about WHO to the summary.
summary=()
run_suite() {
  local who=$1 dir=$2
  shift 2
  rm -f "$dir/Testing/Temporary/LastTestsFailed.log"
  if (cd "$dir" && "$@" ctest --output-on-failure -j"$(nproc)" "${ctest_args[@]}"); then
    return 0
  fi
  local failed="$dir/Testing/Temporary/LastTestsFailed.log"
  if [[ -s "$failed" ]]; then
    summary+=("As $who, $(wc -l <"$failed") failed:" "$(sed 's/^[0-9]*:/  /' "$failed")")
  else
    summary+=("As $who, ctest failed (see above)")
  fi
}
ctest_args=("$@")

echo "=== The suite as $(id -un) ==="
run_suite "$(id -un)" "$build"

if [[ -n "$user" ]]; then
  # ctest writes its logs into the folder it runs in: a scratch folder the user owns, whose
  # test file includes the build's tests as they are, with their absolute paths.
  scratch="$work/$user"
  mkdir -p "$scratch/home" "$scratch/runtime"
  chmod 700 "$scratch/runtime"
  quoted=${build//\\/\\\\}
  printf 'subdirs("%s")\n' "${quoted//\"/\\\"}" >"$scratch/CTestTestfile.cmake"
  chown -R "$user:" "$scratch"
  echo
  echo "=== The suite again as the unprivileged user $user: $(id "$user") ==="
  run_suite "the unprivileged user $user" "$scratch" as_user env HOME="$scratch/home" \
    USER="$user" LOGNAME="$user" XDG_RUNTIME_DIR="$scratch/runtime"
fi

if [[ ${KX470_SKIP_WINDOWS:-0} != 1 ]]; then
  echo
  echo "=== The Windows cross-build and its tests under Wine (KX470_SKIP_WINDOWS=1 skips) ==="
  # The same checkout (or copy) and the same unprivileged user; ctest arguments as given.
  if ! env KX470_TEST_SOURCE="$src" ${user:+KX470_TEST_USER="$user"} \
    "$root/scripts/test-windows.sh" "${ctest_args[@]}"; then
    summary+=("The Windows tests under Wine failed (see above)")
  fi
fi

if [[ ${KX470_SKIP_PACKAGE:-0} != 1 && ${#ctest_args[@]} -eq 0 ]]; then
  echo
  echo "=== The Debian package, built and tested (KX470_SKIP_PACKAGE=1 skips) ==="
  if ! "$root/scripts/package.sh"; then
    summary+=("The Debian package failed to build or its test failed (see above)")
  fi
fi

if [[ ${#summary[@]} -gt 0 ]]; then
  echo
  echo "=== FAILED ==="
  printf '%s\n' "${summary[@]}"
  exit 1
fi
echo
skipped=
if [[ ${KX470_SKIP_WINDOWS:-0} == 1 ]]; then skipped=" (the Windows tests were skipped)"; fi
if [[ ${KX470_SKIP_PACKAGE:-0} == 1 || ${#ctest_args[@]} -gt 0 ]]; then
  skipped+=" (the package was not built)"
fi
echo "=== Every test passed${user:+, as root and as $user}$skipped ==="
