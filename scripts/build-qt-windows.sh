#!/usr/bin/env bash
# Builds Qt for 64-bit Windows with MinGW-w64 from Debian's own source of the Qt this machine
# has (qt6-base), so that the window cross-builds against the very version whose tools (moc,
# rcc, uic) the build runs here. Only what the program needs: Core, Gui, Widgets, the Windows
# platform plugin and Test, with the bundled image, font and regular-expression libraries.
# The result is kept outside any clone, keyed by the Qt version and this script's configure
# options, so that a machine pays for it once:
#   build-qt-windows.sh            builds when missing, then prints the Qt prefix
#   build-qt-windows.sh --prefix   prints the prefix it would use, builds nothing
# PYXTUNE_QT_WINDOWS_CACHE names the cache folder (default /var/cache/pyxtune/qt-mingw).
# PYXTUNE_APT_ETC names the apt configuration the archive is read from (default /etc/apt).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
codename=bookworm
apt_etc=${PYXTUNE_APT_ETC:-/etc/apt}

qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null) || {
  echo "build-qt-windows.sh: the host's Qt tools (qt6-base-dev-tools) are not installed" >&2
  exit 1
}
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
toolchain=$here/../cmake/mingw-w64-x86_64.cmake
# Tablet events need the Wacom header that Debian's source leaves out; the Windows platform
# plugin of 6.4 does not compile without OpenGL, and dynamic OpenGL needs no library to build.
# No zstd for MinGW here: resources are compiled without it (rcc --no-zstd). Direct2D stays,
# though its plugin is not shipped: without it 6.4.2's Windows platform plugin still refers to
# QtGui's DirectWrite font database, which is then not built, and does not link.
configure_options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF -DFEATURE_opengl_dynamic=ON -DFEATURE_vulkan=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_zstd=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF
  -DFEATURE_testlib=ON -DFEATURE_widgets=ON
)
key=$( (echo "$qt_version"; printf '%s\n' "${configure_options[@]}"; cat "$toolchain") | sha256sum | cut -c1-16)
cache=${PYXTUNE_QT_WINDOWS_CACHE:-/var/cache/pyxtune/qt-mingw}
prefix=$cache/qt-${qt_version%%+*}-$key
if [ "${1:-}" = --prefix ]; then echo "$prefix"; exit 0; fi
if [ -f "$prefix/READY" ]; then echo "$prefix"; exit 0; fi

work=$cache/work-$key
rm -rf "$work" "$prefix"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"
log=$work/build.log
say() { echo "build-qt-windows.sh: $*" >&2; }
fail() { say "$1 (log: $log)"; tail -n 30 "$log" >&2; exit 1; }

. "$here/debian-sources.sh"
debian_sources deb-src main > "$work/apt/pyxtune.sources" ||
  { say "this machine's apt sources name no Debian archive for $codename"; exit 1; }
opts=(-o "Dir::Etc::SourceList=$work/apt/pyxtune.sources" -o "Dir::Etc::SourceParts=-"
      -o "Dir::Etc::Trusted=$apt_etc/trusted.gpg" -o "Dir::Etc::TrustedParts=$apt_etc/trusted.gpg.d"
      -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -o "Debug::NoLocking=1"
      -o "APT::Sandbox::User=root" -o "Acquire::Retries=2" -o "Acquire::http::Timeout=20" -qq)
started=$(date +%s)
say "fetching Debian's source of qt6-base $qt_version"
timeout 300 apt-get "${opts[@]}" update >> "$log" 2>&1 || fail "apt-get update failed"
(cd "$work/src" && timeout 600 apt-get "${opts[@]}" source "qt6-base=$qt_version") >> "$log" 2>&1 ||
  fail "apt-get source qt6-base=$qt_version failed"
src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
[ -n "$src" ] || fail "no unpacked source in $work/src"

say "configuring (about a minute)"
cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$multiarch/cmake" -DCMAKE_INSTALL_PREFIX="$prefix" "${configure_options[@]}" >> "$log" 2>&1 ||
  fail "configuring Qt failed"
say "building (10 to 20 minutes on two cores)"
cmake --build "$work/build" -j "$(nproc)" >> "$log" 2>&1 || fail "building Qt failed"
cmake --install "$work/build" >> "$log" 2>&1 || fail "installing Qt failed"
echo "$qt_version" > "$prefix/VERSION"
touch "$prefix/READY"
say "Qt $qt_version for MinGW-w64 built in $(( $(date +%s) - started )) s"
rm -rf "$work"
echo "$prefix"
