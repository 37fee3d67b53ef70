#!/bin/sh
# Runs the win32 build's tests under Wine, headless.
#
# usage: tests/wine-ctest.sh BUILD_DIR [ctest arguments]
#
# One 32-bit prefix lives in the build folder. The whole ctest run happens in
# one xvfb-run around one persistent wineserver, so that a test costs
# milliseconds rather than a Wine start-up, and only our own server is shut
# down at the end.
set -eu
BUILD=$(cd "$1" && pwd); shift
export WINEPREFIX="$BUILD/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-ctest: creating the Wine prefix in $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # Without this every closed window stalls for two seconds.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Debian's Wine does not find its own fonts unless they are in the prefix.
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  # This server had no display: it must be gone before the run under Xvfb.
  wineserver -w
fi

exec xvfb-run -a -s '-screen 0 1024x768x24' sh -c '
  wineserver -p
  # Wine starts long-lived helper processes with its first program; keep them
  # off the pipes ctest reads.
  wine cmd /c exit >/dev/null 2>&1 </dev/null
  rc=0
  ctest --test-dir "$0" --output-on-failure "$@" || rc=$?
  wineserver -k
  exit $rc' "$BUILD" "$@"
