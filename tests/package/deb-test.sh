#!/bin/sh
# The Debian package, unpacked into a scratch root: its name and control
# carry the project's version, the installed imagedb prints it, the library
# dependencies were computed, the manual page renders every command and the
# bash completion completes.
#
# usage: tests/package/deb-test.sh NATIVE_BUILD_DIR
set -eu
BUILD=$1
fail() { echo "deb-test: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
deb=$(ls "$BUILD"/packages/ferrovel-imagedb_"$version"_*.deb) || fail "no package of version $version"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "control file version differs"
dpkg-deb -f "$deb" Depends | grep -q libspng || fail "no computed dependencies"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
[ "$("$root/usr/bin/imagedb" --version)" = "imagedb $version" ] || fail "imagedb --version differs"

# Each section's heading, and each command of --help but help as an entry under COMMANDS.
MANWIDTH=80 man -l "$root/usr/share/man/man1/imagedb.1.gz" >"$root/manual" 2>&1
missing=$({ printf '%s\n' SYNOPSIS OPTIONS COMMANDS "EXIT STATUS" FILES
  "$root/usr/bin/imagedb" --help | sed -n '/^Commands:/,/^$/{/^  help /d;s/^  \([a-z]\+\) .*/   \1/p}'
} | grep -vxF -f "$root/manual") || true
[ -z "$missing" ] || fail "the manual page lacks: $missing"

completed=$(PATH="$root/usr/bin:$PATH" bash -c '. "$1"; COMP_WORDS=(imagedb export --in)
  COMP_CWORD=2; _imagedb imagedb; echo "${COMPREPLY[*]}"' - "$root/usr/share/bash-completion/completions/imagedb")
[ "$completed" = "--index" ] || fail "completion of export --in gave \"$completed\""
echo "deb-test: $(basename "$deb") installs, runs, documents and completes imagedb $version"
