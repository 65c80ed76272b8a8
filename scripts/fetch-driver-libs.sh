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

# Prints, as a deb822 sources list, the non-free component of each Debian archive that the
# sources under $apt_etc name for bookworm, bookworm-updates or bookworm-security, each
# with the keyring its source names. Reads sources.list and then sources.list.d/*.list and
# *.sources in name order, as apt does; skips stanzas marked "Enabled: no", deb-src entries
# and archives that carry none of Debian's components (another vendor's repository may name
# the same suite). A URI and suite met twice is taken once: apt refuses a second Signed-By.
# Returns 1, printing nothing, when there is none.
debian_nonfree_sources() {
  local LC_COLLATE=C files=() file
  [ -f "$apt_etc/sources.list" ] && files+=("$apt_etc/sources.list")
  for file in "$apt_etc"/sources.list.d/*; do
    case $file in *.list | *.sources) [ -f "$file" ] && files+=("$file") ;; esac
  done
  [ ${#files[@]} -gt 0 ] || return 1
  awk -v codename="$codename" '
    function wanted_suite(s) {
      return s == codename || s == codename "-updates" || s == codename "-security"
    }
    function has_word(list, word,   n, i, w) {
      n = split(list, w, /[ \t]+/)
      for (i = 1; i <= n; i++) if (w[i] == word) return 1
      return 0
    }
    function debian_components(list) {
      return has_word(list, "main") || has_word(list, "contrib") ||
             has_word(list, "non-free") || has_word(list, "non-free-firmware")
    }
    # One stanza per URI, with the suites not yet taken for it.
    function take(uris, suites, components, signed_by,   nu, ns, u, s, i, j, key, kept) {
      if (!debian_components(components)) return
      nu = split(uris, u, /[ \t]+/)
      ns = split(suites, s, /[ \t]+/)
      for (i = 1; i <= nu; i++) {
        if (u[i] == "") continue
        kept = ""
        for (j = 1; j <= ns; j++) {
          key = u[i]
          sub(/\/+$/, "", key)
          key = key " " s[j]
          if (!wanted_suite(s[j]) || key in seen) continue
          seen[key] = 1
          kept = kept (kept == "" ? "" : " ") s[j]
        }
        if (kept == "") continue
        if (printed++) print ""
        print "Types: deb"
        print "URIs: " u[i]
        print "Suites: " kept
        print "Components: non-free"
        if (signed_by != "") print "Signed-By:" (signed_by ~ /^\n/ ? "" : " ") signed_by
      }
    }
    function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
    function end_stanza() {
      if (in_stanza && has_word(field["types"], "deb") &&
          tolower(field["enabled"]) !~ /^(no|false|off|without|disable)$/)
        take(field["uris"], field["suites"], field["components"], field["signed-by"])
      split("", field)
      in_stanza = 0
      last = ""
    }
    # deb822: fields, continuation lines (an embedded key keeps its lines as written),
    # comment lines, stanzas between blank lines.
    function deb822_line(line,   name) {
      if (line ~ /^#/) return
      if (line ~ /^[ \t]*$/) { end_stanza(); return }
      if (line ~ /^[ \t]/) {
        if (last == "signed-by") field[last] = field[last] "\n" line
        else if (last != "") field[last] = trim(field[last] " " trim(line))
        return
      }
      if (match(line, /^[A-Za-z0-9-]+:/)) {
        name = tolower(substr(line, 1, RLENGTH - 1))
        field[name] = trim(substr(line, RLENGTH + 1))
        last = name
        in_stanza = 1
      }
    }
    # One-line: deb [ options ] URI suite components..., "#" to the end of a line a comment.
    function one_line(line,   options, close_at, n, o, i, signed_by, w) {
      sub(/#.*/, "", line)
      line = trim(line)
      if (line !~ /^deb[ \t]/) return
      line = trim(substr(line, 4))
      options = ""
      if (substr(line, 1, 1) == "[") {
        close_at = index(line, "]")
        if (!close_at) return
        options = substr(line, 2, close_at - 2)
        line = trim(substr(line, close_at + 1))
      }
      signed_by = ""
      n = split(options, o, /[ \t]+/)
      for (i = 1; i <= n; i++)
        if (tolower(o[i]) ~ /^signed-by=/) signed_by = substr(o[i], 11)
      n = split(line, w, /[ \t]+/)
      if (n < 3) return
      line = w[3]
      for (i = 4; i <= n; i++) line = line " " w[i]
      take(w[1], w[2], line, signed_by)
    }
    FNR == 1 { end_stanza(); deb822 = FILENAME ~ /\.sources$/ }
    { sub(/\r$/, "") }
    deb822 { deb822_line($0); next }
    { one_line($0) }
    END { end_stanza(); exit printed ? 0 : 1 }
  ' "${files[@]}"
}
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
