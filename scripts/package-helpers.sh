# Sourced by the install scripts: find the Debian packages that are missing
# and install only those, as root or through sudo.

# Prints the packages among the arguments that are not installed.
missing_packages() {
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q ' installed$'; then
      echo "$package"
    fi
  done
}

# Runs a command as root: directly, through sudo, or not at all (with a
# message that names what was needed).
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "$(basename "$0"): needs root to run: $*" >&2
    exit 1
  fi
}

apt_install() {
  echo "installing: $*"
  as_root apt-get update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@"
}
