# Sourced by the test scripts run by root: the unprivileged user that runs the tests a second
# time, like a user at the bench. It is KX470_TEST_USER, by default the system user kx470test,
# created on first use in the dialout group. Sets `user`; defines as_user.

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
