#!/usr/bin/env bash
# Installs the Debian packages the project needs that are not installed yet.
# Usage: tools/deps.sh [run|shots|check|bench]   ("run" adds what starting the program on a virtual
# display and taking a screenshot of it there needs; "shots" adds what taking and comparing
# screenshots of the window on it needs; "check" adds the formatting and tidy tools CI runs;
# "bench" adds the peer program bench/fs9721_peer.sh runs beside velmar-log)
#        tools/deps.sh --list  (prints the packages the build needs, one a line, and installs nothing)
set -euo pipefail

packages=(build-essential cmake pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev pxlib-dev
          libbenchmark-dev libmosquitto-dev libssl-dev mosquitto openssl valgrind fonts-dejavu-core fonts-liberation
          poppler-utils
          dpkg-dev file   # cpack -G DEB: dpkg-shlibdeps finds the dependencies, file finds the programs
          help2man    # the programs' manual pages, made from their --help
          lintian desktop-file-utils)  # the package tests check the .deb and its desktop entry
if [ "${1:-}" = --list ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi
if [ "${1:-}" = run ]; then
  packages+=(xvfb xauth x11-utils imagemagick)
fi
if [ "${1:-}" = bench ]; then
  packages+=(sigrok-cli)
fi
if [ "${1:-}" = check ]; then
  packages+=(clang-format clang-tidy)
fi
if [ "${1:-}" = shots ]; then
  packages+=(xvfb xauth x11-utils xdotool imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
