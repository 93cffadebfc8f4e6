#!/usr/bin/env bash
# The installer under Wine: both programs carry the project's version resource; the setup
# made from this build installs silently for every user and for the current user only,
# with a Start-menu shortcut to the installed demo and an uninstall entry holding the
# version; the installed demo runs and ends on Escape; the silent uninstaller leaves
# nothing behind.
source "$(dirname "$0")/common.bash"
# No menu entries of the Linux desktop for the Start-menu shortcuts made here.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$WIN_BUILD/CMakeCache.txt")
[[ -n "$version" ]] || fail "no project version in $WIN_BUILD/CMakeCache.txt"
# The version resource's fixed part as Properties reads it: signature, layout, then the
# file version A.B.C.0 as two little-endian pairs of 16-bit words.
le16() { printf '%02x%02x' $(($1 & 255)) $(($1 >> 8)); }
IFS=. read -r major minor patch <<<"$version"
fixed="$(le16 "$minor")$(le16 "$major")$(le16 0)$(le16 "$patch")"
# expect_version FILE DESCRIPTION: the version resource Properties shows (its strings are
# name and value in turn).
expect_version() {
  local raw info
  raw=$(wrestool -x --raw --type=16 "$1" | od -An -tx1 -v | tr -d ' \n')
  [[ "$raw" == *bd04effe????????"$fixed"* ]] || fail "$(basename "$1"): no fixed version $version.0"
  info=$(wrestool -x --raw --type=16 "$1" | strings -el | tail -n +4 | paste -d= - -)
  for line in "FileVersion=$version" "ProductVersion=$version" "ProductName=FPU Sample" \
    "FileDescription=$2"; do
    grep -qxF "$line" <<<"$info" || fail "$(basename "$1"): no '$line' in: $info"
  done
  grep -q '^LegalCopyright=Copyright (C) [0-9]' <<<"$info" || fail "$(basename "$1"): $info"
}
expect_version "$WIN_BUILD/fpu-sample.exe" "fpu-sample: floating-point 3D rotation demo"
expect_version "$WIN_BUILD/fpu-trace-viewer.exe" "fpu-sample trace viewer"
ok "both programs carry version $version"

arch=win32
file "$WIN_BUILD/fpu-sample.exe" | grep -q 'PE32+' && arch=win64
(cd "$WIN_BUILD" && cpack -G NSIS -B "$work/dist" >/dev/null) || fail "cpack -G NSIS failed"
setup="$work/dist/fpu-sample-$version-$arch-setup.exe"
expect_version "$setup" "FPU Sample $version setup ($arch)"
ok "cpack makes $(basename "$setup")"

drive_c="$WINEPREFIX/drive_c"
user_data="$drive_c/users/$(id -un)/AppData"
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\fpu-sample'
# mode (all: every user; current: this user) -> install folder, shortcut, registry root.
if [[ $arch == win64 ]]; then all_dir="$drive_c/Program Files/fpu-sample"; else
  all_dir="$drive_c/Program Files (x86)/fpu-sample"
  uninstall_key='Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\fpu-sample'
fi
programs='Microsoft/Windows/Start Menu/Programs'
modes=("all|/S|$all_dir|$drive_c/ProgramData/$programs|HKLM"
  "current|/S /CurrentUser|$user_data/Local/Programs/fpu-sample|$user_data/Roaming/$programs|HKCU")
for row in "${modes[@]}"; do
  IFS='|' read -r mode options dir menu root <<<"$row"
  [[ $root == HKCU ]] && uninstall_key=${uninstall_key/Wow6432Node\\/}
  # shellcheck disable=SC2086  # the options are separate words
  timeout 120 wine "$setup" $options || fail "$mode: the setup exits with status $?"
  for program in fpu-sample.exe fpu-trace-viewer.exe uninstall.exe LICENSE.txt README.txt; do
    [[ -f "$dir/$program" ]] || fail "$mode: no $dir/$program"
  done
  windows_dir=C:${dir#"$drive_c"}
  windows_dir=${windows_dir//\//\\}
  # The shortcut's target is its link information's local path.
  strings "$menu/FPU Sample.lnk" | grep -qxF "$windows_dir\\fpu-sample.exe" ||
    fail "$mode: no Start-menu shortcut to $windows_dir\\fpu-sample.exe"
  entry=$(wine reg query "$root\\$uninstall_key" | tr -d '\r')
  for value in "DisplayVersion.*$version" 'Publisher.*fpu-sample developers' \
    'DisplayIcon.*fpu-sample\.exe,0' 'EstimatedSize.*0x[0-9a-f]*[1-9a-f]' 'UninstallString'; do
    grep -q "$value" <<<"$entry" || fail "$mode: no $value in the uninstall entry: $entry"
  done
  ok "$mode: installed into $windows_dir, shortcut, uninstall entry of version $version"

  if [[ $mode == all ]]; then
    start_program "$dir"
    xdotool key Escape
    wait_exit 10
    [[ "$exit_status" == 0 ]] || fail "the installed demo: Escape gives exit status $exit_status"
    ok "the installed demo starts and Escape ends it with status 0"
  fi

  # The uninstaller runs from a copy of itself and returns at once.
  timeout 60 wine "$dir/uninstall.exe" /S || fail "$mode: the uninstaller exits with $?"
  for _ in $(seq 50); do [[ -e "$dir" ]] && sleep 0.2; done
  [[ ! -e "$dir" ]] || fail "$mode: left behind: $(find "$dir")"
  [[ ! -e "$menu/FPU Sample.lnk" ]] || fail "$mode: the shortcut is left behind"
  # The entry goes last, just after the folder.
  for attempt in 1 2 3; do
    wine reg query "$root\\$uninstall_key" >/dev/null 2>&1 || break
    ((attempt < 3)) || fail "$mode: the uninstall entry is left behind"
    sleep 0.5
  done
  ok "$mode: the silent uninstaller removes the programs, the shortcut and the entry"
done
