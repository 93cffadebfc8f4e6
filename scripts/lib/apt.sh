# Installs the named Debian packages that are not installed yet (sourced), with sudo when not
# root. A name ending in :i386 adds that architecture first.
#   apt_install_missing PACKAGE...

apt_install_missing() {
  local p missing=() sudo=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]} > 0)) || return 0
  [[ "$(id -u)" -eq 0 ]] || sudo="sudo"
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails one index (often of an architecture we do not need); the
  # install below then says whether what it needs is there.
  $sudo apt-get update -q || echo "apt_install_missing: apt-get update failed for some index; going on" >&2
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
}
