# A Wine prefix of this run's own (sourced); needs a display (xvfb.sh).
#   start_wine_prefix DIR [SECONDS]   makes the prefix in DIR, exports WINEPREFIX, keeps the
#                                     wineserver running SECONDS (default 600) after the last
#                                     program so each later start is quick
#   stop_wine_prefix                  ends that prefix's wineserver; safe to call twice
# Unmanaged windows: without a window manager Wine otherwise stalls 2 s on every window hide
# or destroy.

WINE_PREFIX_STARTED=

start_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  WINE_PREFIX_STARTED=1
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
  wineserver -w
  wineserver -p "${2:-600}"
}

stop_wine_prefix() {
  if [[ -n "$WINE_PREFIX_STARTED" ]]; then wineserver -k 2>/dev/null || true; fi
  WINE_PREFIX_STARTED=
}
