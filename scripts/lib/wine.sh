# A Wine prefix of this run's own (sourced); needs a display (xvfb.sh).
#   start_wine_prefix DIR [SECONDS]   makes the prefix in DIR, exports WINEPREFIX, keeps the
#                                     wineserver running SECONDS (default 600) after the last
#                                     program so each later start is quick
#   stop_wine_prefix                  ends that prefix's wineserver; safe to call twice
# Unmanaged windows: without a window manager Wine otherwise stalls 2 s on every window hide
# or destroy.

WINE_PREFIX_STARTED=

# Whether Wine's 32-bit loader runs here. Some kernels run no 32-bit x86 program at all
# ("Exec format error"); there only 64-bit Windows programs can run, through wine64.
wine_runs_32bit() { [[ -x /usr/lib/wine/wine ]] && /usr/lib/wine/wine --version >/dev/null 2>&1; }

# On such a machine `wine` (which prefers the 32-bit loader once wine32 is installed) is
# pointed at wine64 for this run, through a folder of our own first on PATH.
use_wine64_when_32bit_cannot_run() {
  local bin=$1
  wine_runs_32bit && return 0
  [[ -x /usr/lib/wine/wine64 ]] || return 0
  mkdir -p "$bin"
  local name
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
      >"$bin/$name"
    chmod +x "$bin/$name"
  done
  export PATH="$bin:$PATH"
}

start_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  WINE_PREFIX_STARTED=1
  use_wine64_when_32bit_cannot_run "$1.bin"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
  wineserver -w
  wineserver -p "${2:-600}"
}

stop_wine_prefix() {
  if [[ -n "$WINE_PREFIX_STARTED" ]]; then wineserver -k 2>/dev/null || true; fi
  WINE_PREFIX_STARTED=
}
