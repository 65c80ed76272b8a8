#!/usr/bin/env bash
# Installs what Pyxtune needs on Debian 12, and nothing else. Safe to run again: packages
# already present are left alone.
#   install-deps.sh          everything: building, running and testing
#   install-deps.sh --run    only what building and running the program needs
set -euo pipefail
run_packages=(
  build-essential cmake ninja-build pkg-config libsystemd-dev
  nlohmann-json3-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-tools-dev qt6-l10n-tools
  fonts-liberation fonts-dseg fonts-wqy-microhei
  xvfb xauth
)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  openbox xdotool x11-utils imagemagick
  lintian desktop-file-utils appstream file libxml2-utils
  # A compiler cache: CI builds each clean clone of the same sources again.
  ccache
  # The service tests: a private system bus for the resume signal.
  dbus-daemon
  # systemd-analyze verify on the service's units; it looks up their manual page with man.
  systemd man-db
  # The units' check sends the kernel's device event with it; the polkit check asks a real polkitd.
  python3 polkitd
  debian-archive-keyring
  # The Windows core: MinGW-w64 cross compiler, GoogleTest's sources for it, Wine to run it.
  g++-mingw-w64-x86-64-posix googletest wine wine64
  # The window under Wine docks its icon in a notification area; the installer is NSIS's.
  trayer nsis unzip
)
packages=("${run_packages[@]}")
[ "${1:-}" = "--run" ] || packages+=("${test_packages[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
