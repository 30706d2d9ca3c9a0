#!/usr/bin/env bash
# Tests a built kx470u package as a user meets it: its control fields and files, an install
# with dpkg into a scratch root (its own admin folder, so the machine's dpkg database is not
# touched), the installed programs, man pages and completion at work, the removal, and lintian.
# Usage: tests/package/package_test.sh kx470u_VERSION_amd64.deb
set -uo pipefail
if [[ $# -ne 1 || ! -f $1 ]]; then
  echo "Usage: $0 kx470u_VERSION_amd64.deb" >&2
  exit 2
fi
deb=$(realpath "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^project(kx470u VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kx470-package.XXXXXX")
cleanup() {
  rm -rf "$scratch"
}
trap cleanup EXIT

source "$root/tests/package/checks.sh"

# --- The control fields -------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
control_fields() {
  equal "file name" "kx470u_${version}_amd64.deb" "$(basename "$deb")" &&
    equal Package kx470u "$(field Package)" &&
    equal "Version (the project's)" "$version" "$(field Version)" &&
    equal Architecture amd64 "$(field Architecture)" &&
    equal Section electronics "$(field Section)" &&
    [[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] &&
    [[ -n $(field Description | sed -n 2p) ]]
}
check "control fields: name, version, architecture, section, maintainer, description" \
  control_fields

# The dependencies are what dpkg-shlibdeps found: every library the programs are linked with,
# each with the version its symbols need.
shlib_dependencies() {
  local depends needed package status=0
  depends=$(field Depends)
  for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libudev1; do
    if [[ ", $depends" != *", $package (>= "* ]]; then
      echo "Depends lacks a versioned $package: $depends"
      status=1
    fi
  done
  return $status
}
check "Depends computed by dpkg-shlibdeps" shlib_dependencies

# --- The files ----------------------------------------------------------------------------
listing=$(dpkg-deb -c "$deb")
files=$(awk '{ print $6 }' <<<"$listing" | sed 's|^\./|/|; s|/$||' | grep -v '^$' | sort)
check "the deliverables are in the package" contains "file list" "$files" \
  /usr/bin/kx470u /usr/bin/kx470-cli /usr/bin/kx470-sim \
  /usr/share/applications/kx470u.desktop /usr/share/icons/hicolor/scalable/apps/kx470u.svg \
  /usr/share/metainfo/com.example.kx470u.metainfo.xml \
  /usr/share/bash-completion/completions/kx470-cli \
  /usr/share/doc/kx470u/README.md /usr/share/doc/kx470u/copyright \
  /usr/share/doc/kx470u/changelog.gz
every_program_has_a_man_page() {
  local program status=0
  for program in $(grep '^/usr/bin/.' <<<"$files"); do
    contains "file list" "$files" "/usr/share/man/man1/$(basename "$program").1.gz" || status=1
  done
  return $status
}
check "a man page for every program" every_program_has_a_man_page
only_usr_owned_by_root() {
  local status=0 stray
  stray=$(grep -v '^/usr\(/\|$\)' <<<"$files" | grep -v '^$')
  [[ -z $stray ]] || { echo "outside /usr: $stray"; status=1; }
  stray=$(grep -E '\.(a|h|o|cmake)$|/include/|/build' <<<"$files")
  [[ -z $stray ]] || { echo "build leftovers: $stray"; status=1; }
  stray=$(awk '$2 != "root/root"' <<<"$listing")
  [[ -z $stray ]] || { echo "not owned by root: $stray"; status=1; }
  stray=$(awk '$6 ~ /^\.\/usr\/bin\/./ && $1 != "-rwxr-xr-x"' <<<"$listing")
  [[ -z $stray ]] || { echo "programs not 0755: $stray"; status=1; }
  stray=$(awk '$1 ~ /^-/ && $6 !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--"' <<<"$listing")
  [[ -z $stray ]] || { echo "data files not 0644: $stray"; status=1; }
  return $status
}
check "nothing but /usr, owned by root, programs 0755 and data 0644" only_usr_owned_by_root

# --- Installed into a scratch root ---------------------------------------------------------
inst=$scratch/root
admin=$scratch/admin
mkdir -p "$inst" "$admin/info" "$admin/updates" "$admin/triggers"
: >"$admin/status"
# The scratch database has none of the libraries: their check belongs to the real install.
dpkg_scratch() {
  dpkg --root="$inst" --admindir="$admin" --log=/dev/null --force-not-root --force-depends \
    --force-script-chrootless "$@"
}
installs() {
  dpkg_scratch --install "$deb" &&
    equal "dpkg status" "install ok installed" \
      "$(dpkg-query --admindir="$admin" -W -f='${Status}' kx470u)" &&
    equal "dpkg's list of the installed files" "$files" \
      "$(dpkg-query --admindir="$admin" -L kx470u | grep -v '^/\.$' | sort)"
}
check "dpkg installs it into a scratch root" installs
bin=$inst/usr/bin

# Every program tells the project's version, the window program without a display.
versions() {
  equal kx470-cli "kx470-cli $version" "$("$bin/kx470-cli" --version)" &&
    equal kx470-sim "kx470-sim $version" "$("$bin/kx470-sim" --version)" &&
    equal kx470u "kx470u $version" \
      "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/kx470u" --version)"
}
check "the installed programs tell the project's version" versions

# The installed CLI and simulator at work: the CLI reads the simulator's image over its
# pseudo terminal, and the copy is the image.
installed_read() {
  "$bin/kx470-sim" --image "$root/examples/demo.tbl" >"$scratch/sim.out" 2>"$scratch/sim.err" &
  local sim=$! port= i status=1
  for i in $(seq 100); do
    port=$(head -n 1 "$scratch/sim.out")
    [[ -n $port ]] && break
    sleep 0.05
  done
  if [[ -z $port ]]; then
    cat "$scratch/sim.err"
  elif "$bin/kx470-cli" read --quiet --port "$port" --out "$scratch/copy.tbl" &&
    cmp <(head -c 2048 "$root/examples/demo.tbl") "$scratch/copy.tbl" &&
    "$bin/kx470-cli" check "$scratch/copy.tbl"; then
    status=0
  fi
  kill "$sim" 2>/dev/null
  wait "$sim" 2>/dev/null
  return $status
}
check "the installed kx470-cli reads from the installed kx470-sim" installed_read

# The man pages render without a warning, and kx470-cli's has every command its help lists.
man_pages() {
  local page text status=0 command
  for page in "$inst"/usr/share/man/man1/*.1.gz; do
    text=$(MANWIDTH=80 man --warnings -l "$page" 2>"$scratch/man.err") || status=1
    [[ -s $scratch/man.err ]] && { echo "$page:"; cat "$scratch/man.err"; status=1; }
    grep -q "^NAME" <<<"$text" || { echo "$page has no NAME"; status=1; }
  done
  text=$(MANWIDTH=200 man -l "$inst/usr/share/man/man1/kx470-cli.1.gz" 2>/dev/null)
  for command in $("$bin/kx470-cli" help | awk '/^Commands:/ { on = 1; next }
                   on && /^  [a-z]/ { print $1 } on && /^$/ { exit }'); do
    grep -qE "^ +kx470-cli $command( |$)" <<<"$text" || {
      echo "kx470-cli(1) has no section for $command"
      status=1
    }
  done
  grep -q -- "--corrupt-block N" <(MANWIDTH=200 man -l "$inst/usr/share/man/man1/kx470-sim.1.gz") ||
    { echo "kx470-sim(1) lacks its fault options"; status=1; }
  grep -q -- "KX470_PORTS" <(MANWIDTH=200 man -l "$inst/usr/share/man/man1/kx470u.1.gz") ||
    { echo "kx470u(1) lacks its environment"; status=1; }
  return $status
}
check "the man pages render and say what the programs' help says" man_pages

# The installed completion, with the installed program first on the PATH.
installed_completion() {
  [[ -f /usr/share/bash-completion/bash_completion ]] || {
    echo "bash-completion is not installed"
    return 1
  }
  PATH="$bin:$PATH" bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_WORDS=(kx470-cli ve); COMP_CWORD=1; COMP_LINE="kx470-cli ve"; COMP_POINT=12
    _kx470_cli kx470-cli ve kx470-cli
    [[ "${COMPREPLY[*]}" == verify ]] || { echo "kx470-cli ve: ${COMPREPLY[*]}"; exit 1; }' \
    bash "$inst/usr/share/bash-completion/completions/kx470-cli"
}
check "the installed completion completes a command" installed_completion

# AppStream and the desktop entry, as software centres and menus read them.
desktop_files() {
  appstreamcli validate --no-net --pedantic \
    "$inst/usr/share/metainfo/com.example.kx470u.metainfo.xml" &&
    equal "metainfo release" "$version" "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
      "$inst/usr/share/metainfo/com.example.kx470u.metainfo.xml")" &&
    desktop-file-validate "$inst/usr/share/applications/kx470u.desktop"
}
check "the metainfo and the desktop entry validate" desktop_files

# The changelog's version is the package's, as Debian's tools read it.
changelog() {
  zcat "$inst/usr/share/doc/kx470u/changelog.gz" >"$scratch/changelog" &&
    equal "changelog version" "$version" "$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)"
}
check "the changelog names the package's version" changelog

removes() {
  dpkg_scratch --remove kx470u &&
    equal "files left after removal" "" "$(find "$inst" -not -type d)"
}
check "dpkg removes every file it installed" removes

# --- lintian ----------------------------------------------------------------------------
# No error and no warning; the informational tags are shown, and kept (see the README).
echo "lintian $(lintian --print-version):"
lintian_out=$(lintian --display-level '>=info' "$deb" 2>&1 | grep -v '^running with root privileges')
sed 's/^/    /' <<<"${lintian_out:-(nothing)}"
check "lintian finds no error and no warning" eval '! grep -E "^(E|W): " <<<"$lintian_out"'

summary package
