#!/usr/bin/env bash
# Fetches NVIDIA's Linux driver libraries as Debian 12 ships them (libnvidia-api1 and
# libnvidia-ml1 from the non-free component) and unpacks them into DEST/root with the
# Debian layout: the files in usr/lib/<multiarch>/nvidia/current/, reached through links in
# usr/lib/<multiarch>/ that pass through etc/alternatives/, all owned by the caller.
# The archive is the one this machine's apt already uses for bookworm (its own mirror or
# proxy, its keyring), asked for the non-free component only. The machine's package sources
# are left alone: apt-get reads a private sources list and keeps its lists and downloads
# under DEST.
#   fetch-driver-libs.sh DEST
#   fetch-driver-libs.sh --print-sources   the private sources list it would use, and stop
# PYXTUNE_APT_ETC names the apt configuration the sources are read from (default /etc/apt).
# Exits 0 when the packages are in place or cannot be had (network, architecture): DEST/SKIP
# then says why, and the tests that need them skip with that reason. Exits 77 (the CTest
# fixture's skip code) when this machine's apt names no bookworm archive at all: DEST/SKIP
# says so too, and that is for its owner to mend. A finished DEST/root is kept and not
# fetched again.
set -uo pipefail

# The release whose packages the driver tests are written against.
codename=bookworm
apt_etc=${PYXTUNE_APT_ETC:-/etc/apt}

# The Debian archives this machine already uses, as a private sources list.
. "$(dirname "$0")/debian-sources.sh"
debian_nonfree_sources() { debian_sources deb non-free; }
no_sources="this machine's apt sources ($apt_etc/sources.list, $apt_etc/sources.list.d/) name no Debian archive for $codename (suites $codename, $codename-updates, $codename-security with Debian's components): add the one this machine should use, a local mirror or proxy will do"

if [ "${1:-}" = --print-sources ]; then
  debian_nonfree_sources && exit 0
  echo "fetch-driver-libs.sh: $no_sources" >&2
  exit 1
fi

dest=${1:?usage: fetch-driver-libs.sh DEST | --print-sources}
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
root=$dest/root
[ -f "$dest/READY" ] && { echo "driver libraries already in $root"; exit 0; }
rm -rf "$root" "$dest/SKIP" "$dest/apt"
skip() { echo "$1" > "$dest/SKIP"; echo "driver libraries not fetched: $1"; exit "${2:-0}"; }

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
arch=$(dpkg --print-architecture 2>/dev/null || echo amd64)
[ "$arch" = amd64 ] || skip "Debian ships these libraries for amd64 only, this machine is $arch"
command -v apt-get >/dev/null || skip "apt-get is not installed"

apt=$dest/apt
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/debs"
# apt reads a main list ending in .sources as deb822, which keeps an embedded Signed-By key.
debian_nonfree_sources > "$apt/pyxtune.sources" || skip "$no_sources" 77
opts=(-o "Dir::Etc::SourceList=$apt/pyxtune.sources" -o "Dir::Etc::SourceParts=-"
      -o "Dir::Etc::Trusted=$apt_etc/trusted.gpg" -o "Dir::Etc::TrustedParts=$apt_etc/trusted.gpg.d"
      -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "Debug::NoLocking=1"
      -o "APT::Sandbox::User=root" -o "Acquire::Retries=2" -o "Acquire::http::Timeout=20" -qq)
if ! timeout 120 apt-get "${opts[@]}" update > "$apt/update.log" 2>&1; then
  skip "this machine's network does not reach the non-free component of its Debian archive ($(awk '/^URIs:/ { printf "%s%s", sep, $2; sep = " " }' "$apt/pyxtune.sources")) (apt-get update: $(tail -n 2 "$apt/update.log" | tr '\n' ' '))"
fi
if ! (cd "$apt/debs" && timeout 120 apt-get "${opts[@]}" download libnvidia-api1 libnvidia-ml1 > "$apt/download.log" 2>&1); then
  skip "libnvidia-api1 and libnvidia-ml1 could not be downloaded (apt-get download: $(tail -n 2 "$apt/download.log" | tr '\n' ' '))"
fi
mkdir -p "$root"
for deb in "$apt"/debs/*.deb; do
  dpkg -x "$deb" "$root" || skip "dpkg -x failed on $(basename "$deb")"
done
lib=usr/lib/$multiarch
current=$lib/nvidia/current
[ -f "$root/$current/libnvidia-api.so.1" ] || skip "libnvidia-api1 holds no $current/libnvidia-api.so.1"
[ -e "$root/$current/libnvidia-ml.so.1" ] || skip "libnvidia-ml1 holds no $current/libnvidia-ml.so.1"
# What the alternatives system sets up on installation (relative, so the links stay inside
# the scratch root).
mkdir -p "$root/etc/alternatives"
for name in libnvidia-api.so.1 libnvidia-ml.so.1; do
  ln -sfn "../../$current/$name" "$root/etc/alternatives/nvidia--$name"
  ln -sfn "../../../etc/alternatives/nvidia--$name" "$root/$lib/$name"
done
chmod -R go-w "$root"
dpkg-deb -f "$apt"/debs/libnvidia-api1_*.deb Version > "$dest/VERSION"
rm -rf "$apt/lists" "$apt/cache"
touch "$dest/READY"
echo "driver libraries $(cat "$dest/VERSION") unpacked in $root"
