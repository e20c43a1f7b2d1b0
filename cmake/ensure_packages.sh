# Sourced by run.sh and test.sh: installs the Debian packages named in $PACKAGES that are
# missing, refreshing the package lists only when a first attempt fails.
ensure_packages() {
  local missing="" package sudo=""
  for package in "$@"; do
    # installed and configured; a removed or half-installed package counts as missing
    dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null | grep -q '^ii' ||
      missing="$missing $package"
  done
  [ -z "$missing" ] && return 0
  echo "== installing:$missing"
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get install -y $missing >/dev/null 2>&1 ||
    { $sudo apt-get update >/dev/null 2>&1 && $sudo apt-get install -y $missing >/dev/null; } ||
    { echo "could not install:$missing" >&2; return 1; }
}
