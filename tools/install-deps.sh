#!/bin/sh
# Installs the Debian packages the build, the tests and `make run` need, but
# only those that are missing, so a second run costs nothing.
#   sh tools/install-deps.sh            what `make run` and `make test` need
#   sh tools/install-deps.sh package    that, plus the tools that make and check
#                                       the Debian package (`make package`)
#   sh tools/install-deps.sh format     that, plus clang-format (`make check-format`)
set -e
# python3-pyvisa and python3-pyvisa-py: the independent SCPI client of the tests.
PKGS="cmake make g++ pkg-config qtbase5-dev qtbase5-dev-tools libqt5charts5-dev
qttools5-dev qttools5-dev-tools qttranslations5-l10n libhidapi-dev libsqlite3-dev sqlite3 poppler-utils fonts-wqy-microhei fonts-font-awesome
xvfb xauth imagemagick xdotool python3 python3-pyvisa python3-pyvisa-py"
# dpkg-shlibdeps (dpkg-dev) and file find the libraries' packages; lintian
# and appstreamcli check the result.
PACKAGE_PKGS="dpkg-dev file lintian appstream"
case "${1:-}" in
  "") ;;
  package) PKGS="$PKGS $PACKAGE_PKGS" ;;
  format) PKGS="$PKGS clang-format" ;;
  *) echo "usage: sh tools/install-deps.sh [package|format]" >&2; exit 2 ;;
esac
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
