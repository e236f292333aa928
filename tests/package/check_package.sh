#!/usr/bin/env bash
# Builds the Debian package from a finished build tree and checks it without
# installing it: its name, control fields and contents (dpkg-deb), then its
# programs run from a temporary root where it is unpacked, and a man page
# rendered from there.
#   check_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d /tmp/platovix-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
arch=$(dpkg --print-architecture)
deb="$work/out/platovix_${version}_${arch}.deb"
[ -f "$deb" ] || { ls "$work/out"; fail "no $deb"; }
grep -q "dpkg-shlibdeps is not found" "$work/cpack.log" && fail "dependencies were not generated"

control=$(dpkg-deb -f "$deb")
echo "$control"
[ "$(dpkg-deb -f "$deb" Package)" = platovix ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libserialport0; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
[[ "$control" == *"Licence: MIT"* ]] || fail "the description names no licence"

contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/platovix ./usr/bin/platovix-cli ./usr/bin/platovix-sim \
            ./usr/share/applications/platovix.desktop \
            ./usr/share/icons/hicolor/256x256/apps/platovix.png \
            ./usr/share/man/man1/platovix-cli.1.gz ./usr/share/man/man1/platovix-sim.1.gz \
            ./usr/share/man/man1/platovix.1.gz \
            ./usr/share/doc/platovix/copyright; do
  grep -q " $file\$" <<< "$contents" || fail "$file is not in the package"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
grep -q "MIT License" "$root/usr/share/doc/platovix/copyright" || fail "copyright file"
[ "$(head -n1 < <("$root/usr/bin/platovix-cli" --version))" = "platovix-cli $version" ] ||
  fail "platovix-cli --version"
[ "$(head -n1 < <("$root/usr/bin/platovix-sim" --version))" = "platovix-sim $version" ] ||
  fail "platovix-sim --version"
if [ -e "$root/usr/bin/platovix-sila" ]; then
  [ "$(head -n1 < <("$root/usr/bin/platovix-sila" --version))" = "platovix-sila $version" ] ||
    fail "platovix-sila --version"
fi
XDG_CONFIG_HOME="$work" "$root/usr/bin/platovix-cli" ports --format json | grep -q '"devices"' ||
  fail "platovix-cli ports"
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$root/usr/share/applications/platovix.desktop"
fi

page=$(MANWIDTH=80 man -P cat -l "$root/usr/share/man/man1/platovix-cli.1.gz" 2> /dev/null)
for word in NAME SYNOPSIS "platovix-cli - run a microplate photometer" "ports" "--version" \
            COPYRIGHT; do
  grep -qF -- "$word" <<< "$page" || fail "the man page lacks '$word'"
done
MANWIDTH=80 man -P cat -l "$root/usr/share/man/man1/platovix-sim.1.gz" 2> /dev/null |
  grep -q -- "--family" || fail "platovix-sim man page"
if [ -e "$root/usr/bin/platovix-sila" ]; then  # built with the SiLA server
  MANWIDTH=80 man -P cat -l "$root/usr/share/man/man1/platovix-sila.1.gz" 2> /dev/null |
    grep -q -- "--listen" || fail "platovix-sila man page"
fi
MANWIDTH=80 man -P cat -l "$root/usr/share/man/man1/platovix.1.gz" 2> /dev/null |
  grep -q -- "platovix.ini" || fail "platovix man page"

# A user without access to the device is told how to get it, by the
# installed program on its real stderr.
if [ "$(id -u)" -eq 0 ] && command -v setpriv > /dev/null; then
  chmod 755 "$work"
  device="$work/ttyLOCKED"
  : > "$device"
  chmod 600 "$device"
  set +e
  err=$(setpriv --reuid=nobody --regid=nogroup --clear-groups env XDG_CONFIG_HOME=/nonexistent \
        "$root/usr/bin/platovix-cli" --port "$device" id 2>&1 > /dev/null)
  code=$?
  set -e
  [ "$code" -eq 1 ] || fail "exit code $code as nobody: $err"
  expected="platovix-cli: $device: Permission denied
platovix-cli: Add your user to the dialout group (sudo usermod -aG dialout \$USER) and log in again."
  [ "$err" = "$expected" ] || fail "as nobody: $err"
fi
echo "package $deb checked"
