# The program's window names, from names.sh in a build folder (made by configuring it from
# the C++ that defines them), so that no script holds a copy (sourced).
#   load_names BUILD_DIR   sets FPU_WINDOW_TITLE, FPU_WINDOW_CLASS and FPU_VIEWER_TITLE
#   name_pattern TEXT      prints TEXT as an anchored regular expression (xdotool search)

load_names() {
  if [[ ! -f "$1/names.sh" ]]; then
    echo "no names.sh in $1: configure that build folder first" >&2
    return 1
  fi
  # shellcheck disable=SC1091
  source "$1/names.sh"
}

name_pattern() {
  printf '^%s$' "$(sed 's/[][\\.^$*+?(){}|]/\\&/g' <<<"$1")"
}
