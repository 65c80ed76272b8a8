#!/usr/bin/env bash
# Fetches NVIDIA's Linux driver libraries as Debian 12 ships them (libnvidia-api1 and
# libnvidia-ml1 from the non-free component) and unpacks them into DEST/root with the
# Debian layout: the files in usr/lib/<multiarch>/nvidia/current/, reached through links in
# usr/lib/<multiarch>/ that pass through etc/alternatives/, all owned by the caller.
# The machine's own package sources are left alone: apt-get reads a private sources list
# and keeps its lists and downloads under DEST.
#   fetch-driver-libs.sh DEST
# Always exits 0: when the packages cannot be had, DEST/SKIP says why and the tests that
# need them skip with that reason. A finished DEST/root is kept and not fetched again.
set -uo pipefail
dest=${1:?usage: fetch-driver-libs.sh DEST}
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
root=$dest/root
[ -f "$dest/READY" ] && { echo "driver libraries already in $root"; exit 0; }
rm -rf "$root" "$dest/SKIP" "$dest/apt"
skip() { echo "$1" > "$dest/SKIP"; echo "driver libraries not fetched: $1"; exit 0; }

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
arch=$(dpkg --print-architecture 2>/dev/null || echo amd64)
[ "$arch" = amd64 ] || skip "Debian ships these libraries for amd64 only, this machine is $arch"
command -v apt-get >/dev/null || skip "apt-get is not installed"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
[ -f "$keyring" ] || skip "$keyring is missing (package debian-archive-keyring)"

apt=$dest/apt
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/debs"
cat > "$apt/sources.list" <<LIST
deb [signed-by=$keyring] http://deb.debian.org/debian bookworm non-free
deb [signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security non-free
LIST
opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=-"
      -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "Debug::NoLocking=1"
      -o "APT::Sandbox::User=root" -o "Acquire::Retries=2" -o "Acquire::http::Timeout=20" -qq)
if ! timeout 120 apt-get "${opts[@]}" update > "$apt/update.log" 2>&1; then
  skip "this machine's network does not reach Debian's non-free archive (apt-get update: $(tail -n 2 "$apt/update.log" | tr '\n' ' '))"
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
