# Sourced by run.sh and test.sh: installs the Debian packages given as arguments that are
# missing, refreshing the package lists only when a first attempt fails. When the packages
# cannot be installed together, each is tried alone, so that one unknown name does not keep
# the others out; the result is then false.
ensure_packages() {
  local missing="" package sudo="" failed=""
  for package in "$@"; do
    # installed and configured; a removed or half-installed package counts as missing
    dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null | grep -q '^ii' ||
      missing="$missing $package"
  done
  [ -z "$missing" ] && return 0
  echo "== installing:$missing"
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  local apt="$sudo env DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=120"
  $apt install $missing >/dev/null 2>&1 && return 0
  $apt update >/dev/null 2>&1
  $apt install $missing >/dev/null 2>&1 && return 0
  for package in $missing; do
    $apt install "$package" >/dev/null 2>&1 || failed="$failed $package"
  done
  [ -z "$failed" ] && return 0
  echo "could not install:$failed" >&2
  return 1
}
