#!/bin/sh
# Checks the Debian package that `make package` made, the way a user meets it:
# lintian finds no errors, it installs with dpkg, the installed programs run,
# its AppStream file validates, and removing it leaves none of its files
# behind. Installing needs root (sudo otherwise). Safe to run again: a copy
# left installed is removed first, and the package is removed at the end
# even when a check fails.
#   sh tools/check-package.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
name=usb-tester
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

deb=$(ls -t "$build"/${name}_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "check-package: no $name package in $build; run make package" >&2; exit 1; }
version=$(dpkg-deb -f "$deb" Version)
upstream=${version%-*}
echo "check-package: $deb"

status() { dpkg-query -W -f='${db:Status-Status}' "$name" 2>/dev/null || echo not-installed; }
if [ "$(status)" != not-installed ]; then
  echo "check-package: removing the $name already installed"
  $SUDO dpkg --purge "$name"
fi

echo "check-package: lintian"
lintian --fail-on error --display-info "$deb"

work=$(mktemp -d)
cleanup() {
  [ "$(status)" = not-installed ] || $SUDO dpkg --purge "$name" > /dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Which of the package's folders were there before it: those stay after removal.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed -e 's|^\./|/|' -e 's|/$||' | while read -r p; do
  [ -n "$p" ] && [ -d "$p" ] && echo "$p"
done > "$work/before" || true

if ! $SUDO dpkg -i "$deb"; then
  echo "check-package: dpkg -i left dependencies open; letting apt install them"
  $SUDO apt-get install -f -y -q
fi
[ "$(status)" = installed ] || { echo "check-package: $name did not install" >&2; exit 1; }
dpkg -L "$name" | grep -v '^/\.$' > "$work/files"

echo "check-package: the installed programs"
cd "$work"
for program in usb-tester usb-tester-cli usb-tester-sim; do
  got=$(/usr/bin/$program --version)
  [ "$got" = "$program $upstream" ] || { echo "check-package: $program --version said \"$got\"" >&2; exit 1; }
  echo "$got"
done
/usr/bin/usb-tester-cli --simulate read > read.txt
grep -q '^Voltage ' read.txt || { echo "check-package: usb-tester-cli --simulate read printed:" >&2; cat read.txt >&2; exit 1; }
head -n 3 read.txt
cd - > /dev/null
metainfo=$(grep '^/usr/share/metainfo/.*\.metainfo\.xml$' "$work/files")
appstreamcli validate --no-net "$metainfo"

echo "check-package: removing"
$SUDO dpkg -r "$name"
# dpkg keeps a removed package that has a postrm as "config-files" until it is
# purged; it has no configuration files to keep.
case "$(status)" in
  not-installed) ;;
  config-files) [ -z "$(dpkg-query -W -f='${Conffiles}' "$name")" ] ||
    { echo "check-package: dpkg -r kept configuration files" >&2; exit 1; } ;;
  *) echo "check-package: $name is \"$(status)\" after dpkg -r" >&2; exit 1 ;;
esac

left=""
while read -r p; do
  if [ -L "$p" ] || { [ -e "$p" ] && [ ! -d "$p" ]; }; then
    left="$left $p"
  elif [ -d "$p" ] && ! grep -qxF "$p" "$work/before" && ! dpkg -S "$p" > /dev/null 2>&1; then
    left="$left $p/"
  fi
done < "$work/files"
if [ -n "$left" ]; then
  echo "check-package: left behind after dpkg -r:$left" >&2
  exit 1
fi
$SUDO dpkg --purge "$name"
echo "check-package: $(wc -l < "$work/files") paths installed, none left behind after removal"
