# Sourced by the test scripts: the unprivileged user that runs the tests a second time when
# root runs them, like a user at the bench (KX470_TEST_USER, by default the system user
# kx470test, created on first use in the dialout group), the copy of the checkout for a user
# who cannot read it, and the sanitized native build.

as_user() {
  setpriv --reuid="$user" --regid="$(id -g "$user")" --init-groups --inh-caps=-all -- "$@"
}

# Sets `user` to the test user, creating it when missing; refuses root as that user.
pick_test_user() {
  user=${KX470_TEST_USER:-kx470test}
  if ! id -u "$user" >/dev/null 2>&1; then
    local groups=()
    if getent group dialout >/dev/null; then groups=(--groups dialout); fi
    useradd --system --user-group --no-create-home --home-dir /nonexistent \
      --shell /usr/sbin/nologin "${groups[@]}" "$user"
    echo "Created the system user $user for the unprivileged test run"
  fi
  if [[ $(id -u "$user") -eq 0 ]]; then
    echo "KX470_TEST_USER=$user is root: the second run needs an unprivileged user" >&2
    exit 2
  fi
}

# copy_checkout FROM WORK: a copy of the checkout FROM (without builds and history) in
# WORK/src that every user can read, for a test user who cannot read FROM; sets `src` to it.
copy_checkout() {
  echo "$user cannot read $1: building and testing a copy in $2/src"
  mkdir "$2/src"
  tar -C "$1" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$2/src" -xf -
  chmod -R a+rX "$2/src"
  src=$2/src
}

# configure_sanitized SRC BUILD: the native build the suite runs, with AddressSanitizer and
# UndefinedBehaviorSanitizer and warnings as errors, and the sanitizers' settings for the run.
configure_sanitized() {
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX470_SANITIZE=ON \
    -DKX470_WERROR=ON -DKX470_BENCH=OFF >/dev/null
  export LSAN_OPTIONS="suppressions=$1/tests/lsan.supp:print_suppressions=0"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
}
