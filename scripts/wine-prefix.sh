# Sourced by the scripts that run the win32 build under Wine: sets up the
# environment of the build folder's own 32-bit prefix and creates the prefix
# on first use.
#
#   . scripts/wine-prefix.sh; use_wine_prefix BUILD_DIR

use_wine_prefix() {
  export WINEPREFIX="$1/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  echo "Creating the Wine prefix in $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # Without this every closed window stalls for two seconds.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Debian's Wine does not find its own fonts unless they are in the prefix.
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  # This server had no display: it must be gone before anything runs under Xvfb.
  wineserver -w
}
