# The program's window names, from names.sh in a build folder (made by configuring it from
# the C++ that defines them), so that no script holds a copy (sourced).
#   load_names BUILD_DIR   sets FPU_WINDOW_TITLE, FPU_WINDOW_CLASS, FPU_VIEWER_TITLE and
#                          FPU_WIN_VIEWER_TITLE (the Windows viewer's)
#   name_pattern TEXT      prints TEXT as an anchored regular expression (xdotool search)
#   name_prefix TEXT       the same, anchored at the start only

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

# name_prefix TEXT: TEXT as a regular expression anchored at the start only (a title that
# may go on, such as the viewer's with its status).
name_prefix() {
  printf '^%s' "$(sed 's/[][\\.^$*+?(){}|]/\\&/g' <<<"$1")"
}
