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
. "$(dirname "$0")/../scripts/wine-prefix.sh"
use_wine_prefix "$BUILD"

exec xvfb-run -a -s '-screen 0 1024x768x24' sh -c '
  wineserver -p
  # Wine starts long-lived helper processes with its first program; keep them
  # off the pipes ctest reads.
  wine cmd /c exit >/dev/null 2>&1 </dev/null
  rc=0
  ctest --test-dir "$0" --output-on-failure "$@" || rc=$?
  wineserver -k
  exit $rc' "$BUILD" "$@"
