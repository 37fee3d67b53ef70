#!/bin/sh
# The Windows installer under Wine, silent as an administrator's script runs
# it: it puts both programs and the Start-menu shortcut in place, the
# installed window program starts and shows the installer's version in its
# About box and version resource, and the uninstaller takes away everything
# the installer put there. The .zip holds the same programs.
#
# usage: tests/package/installer-test.sh WIN32_BUILD_DIR
set -eu
# The installed window program needs a display: the script runs again under Xvfb.
[ -n "${INSTALLER_TEST_XVFB:-}" ] || INSTALLER_TEST_XVFB=1 exec xvfb-run -a -s '-screen 0 1024x768x24' "$0" "$@"
BUILD=$(cd "$1" && pwd)
. "$(dirname "$0")/../../scripts/wine-prefix.sh"
use_wine_prefix "$BUILD"
# No desktop menu entries in the user's home for the shortcuts.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
fail() { echo "installer-test: $*" >&2; wineserver -k || true; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
packages="$BUILD/packages/FerrovelImageManager-$version-win32"
[ "$(cmake -E tar tf "$packages.zip" | sed 's,.*/,,' | sort | tr '\n' ' ')" = "ImageManager.exe imagedb.exe " ] ||
  fail "$packages.zip does not hold the two programs"
drive="$WINEPREFIX/drive_c"
folder="$drive/Program Files/Ferrovel Image Manager"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Ferrovel Image Manager"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ferrovel Image Manager'
snapshot() { find "$drive" -path "$drive/users/*/Temp" -prune -o -print | sort; }

snapshot >"$BUILD/before-install.txt"
wine "$packages.exe" /S && wineserver -w || fail "the installer failed"
# Each program is run below, the uninstaller too: only the shortcut needs looking for.
[ -f "$menu/Ferrovel Image Manager.lnk" ] || fail "the Start-menu shortcut was not installed"
[ "$(wine "$folder/imagedb.exe" --version | tr -d '\r')" = "imagedb $version" ] ||
  fail "the installed imagedb.exe does not say version $version"
FERROVEL_PROGRAM='C:\Program Files\Ferrovel Image Manager\ImageManager.exe' wine "$BUILD/bin/ferrovel_gui_tests.exe" \
  --gtest_color=no --gtest_filter="Window.StartsEmpty*:VersionResource.*" || fail "the installed program"
wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "no uninstall entry"

wine "$folder/Uninstall.exe" /S && wineserver -w || fail "the uninstaller failed"
snapshot >"$BUILD/after-uninstall.txt"
left=$(comm -13 "$BUILD/before-install.txt" "$BUILD/after-uninstall.txt")
[ -z "$left" ] || fail "the uninstaller left: $left"
! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the uninstall entry stayed"
wineserver -k
echo "installer-test: $(basename "$packages.exe") installs, starts and uninstalls version $version"
