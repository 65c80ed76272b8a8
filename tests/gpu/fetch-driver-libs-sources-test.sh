#!/usr/bin/env bash
# Which archive scripts/fetch-driver-libs.sh asks for NVIDIA's libraries, read from the apt
# sources of a scratch machine: each row lays out an apt configuration, then the private list
# it must print (and apt must read), or the refusal it must give.
#   fetch-driver-libs-sources-test.sh SCRIPT
# A row: `row NAME` with a here-document of "@@ PATH" sections, PATH below /etc/apt, then
# "@@ expect" (the printed list) or "@@ refuse" (nothing usable: a clear error, exit 1, and
# exit 77 with DEST/SKIP from a fetch).
set -uo pipefail
script=${1:?usage: fetch-driver-libs-sources-test.sh SCRIPT}
scratch=$(mktemp -d /tmp/pyxtune-apt-sources.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
failures=0
rows=0
fail() { printf 'FAIL [%s]: %s\n' "$name" "$1" >&2; failures=$((failures + 1)); }

row() {
  name=$1
  rows=$((rows + 1))
  local etc=$scratch/$rows/etc-apt section="" line expected="" refuse=0
  mkdir -p "$etc/sources.list.d"
  while IFS= read -r line; do
    case $line in
      "@@ expect") section=expect ;;
      "@@ refuse") section=refuse refuse=1 ;;
      "@@ "*) section=$etc/${line#@@ }; : > "$section" ;;
      *) case $section in
           expect) expected+=$line$'\n' ;;
           refuse) ;;
           *) printf '%s\n' "$line" >> "$section" ;;
         esac ;;
    esac
  done

  local out err rc
  out=$(PYXTUNE_APT_ETC=$etc bash "$script" --print-sources 2> "$scratch/$rows/stderr")
  rc=$?
  err=$(cat "$scratch/$rows/stderr")
  if [ "$refuse" = 1 ]; then
    [ "$rc" = 1 ] || fail "--print-sources exited $rc, not 1"
    [ -z "$out" ] || fail "printed a list where none is usable: $out"
    grep -q "name no Debian archive for bookworm" <<<"$err" || fail "no clear reason given: $err"
    # A fetch stops there too, before any download, and tells the tests why.
    local dest=$scratch/$rows/dest
    out=$(PYXTUNE_APT_ETC=$etc bash "$script" "$dest" 2>&1)
    rc=$?
    [ "$rc" = 77 ] || fail "a fetch exited $rc, not 77: $out"
    grep -q "name no Debian archive for bookworm" "$dest/SKIP" 2>/dev/null || fail "a fetch left no reason in SKIP: $out"
    return
  fi
  [ "$rc" = 0 ] || fail "--print-sources exited $rc: $err"
  [ "$out"$'\n' = "$expected" ] || fail "$(printf 'printed\n%s\nexpected\n%s' "$out" "$expected")"
  # apt itself must take the list (a main list ending in .sources is read as deb822) and
  # must be asked for the non-free component alone.
  if command -v apt-get >/dev/null; then
    local apt=$scratch/$rows/apt uris
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial"
    printf '%s\n' "$out" > "$apt/pyxtune.sources"
    uris=$(apt-get -o "Dir::Etc::SourceList=$apt/pyxtune.sources" -o "Dir::Etc::SourceParts=-" \
      -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "Debug::NoLocking=1" \
      update --print-uris 2>&1) || fail "apt-get does not read the list: $uris"
    grep -q "/binary-amd64/Packages" <<<"$uris" || fail "apt-get would fetch no package index: $uris"
    if grep "/Packages" <<<"$uris" | grep -v "/non-free/binary-"; then
      fail "apt-get would fetch more than the non-free component"
    fi
  fi
}

row "deb822: two URIs, a disabled stanza, another vendor's suite" <<'ROW'
@@ sources.list.d/debian.sources
# The LAN mirror, and the proxy before it
Types: deb deb-src
URIs: http://mirror.lan/debian http://proxy.lan:3142/debian/
Suites: bookworm bookworm-updates bookworm-backports
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://old.lan/debian
Suites: bookworm
Components: main
Enabled: no

types: deb
# security through the same proxy
uris: http://proxy.lan:3142/debian-security
suites: bookworm-security
components: main non-free-firmware
signed-by: /usr/share/keyrings/debian-archive-keyring.gpg
@@ sources.list.d/vendor.sources
Types: deb
URIs: https://packages.vendor.invalid/linux/debian
Suites: bookworm
Components: stable
Signed-By: /etc/apt/keyrings/vendor.gpg
@@ expect
Types: deb
URIs: http://mirror.lan/debian
Suites: bookworm bookworm-updates
Components: non-free
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://proxy.lan:3142/debian/
Suites: bookworm bookworm-updates
Components: non-free
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://proxy.lan:3142/debian-security
Suites: bookworm-security
Components: non-free
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
ROW

row "one-line: [signed-by=...] options, comments, deb-src, a repeat" <<'ROW'
@@ sources.list
# Debian 12 from the LAN mirror
deb [ arch=amd64 signed-by=/etc/apt/keyrings/lan.gpg ] http://mirror.lan/debian bookworm main non-free-firmware # the usual one
#deb http://old.lan/debian bookworm main
deb-src http://src.lan/debian bookworm main
deb [signed-by=/etc/apt/keyrings/lan.gpg,/etc/apt/keyrings/old.gpg] http://mirror.lan/debian-security bookworm-security main

deb http://mirror.lan/debian/ bookworm main
deb https://packages.vendor.invalid/apt vendor-bookworm main
deb http://mirror.lan/debian bookworm-updates contrib
@@ expect
Types: deb
URIs: http://mirror.lan/debian
Suites: bookworm
Components: non-free
Signed-By: /etc/apt/keyrings/lan.gpg

Types: deb
URIs: http://mirror.lan/debian-security
Suites: bookworm-security
Components: non-free
Signed-By: /etc/apt/keyrings/lan.gpg,/etc/apt/keyrings/old.gpg

Types: deb
URIs: http://mirror.lan/debian
Suites: bookworm-updates
Components: non-free
ROW

row "only a local mirror, its key written into the stanza, files in apt's order" <<'ROW'
@@ sources.list.d/b-local.sources
Types: deb
URIs: file:/srv/mirror/debian
Suites: bookworm
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGYAAAABEAC0
 -----END PGP PUBLIC KEY BLOCK-----
@@ sources.list.d/a-local.list
deb file:/srv/mirror/debian-security bookworm-security main
@@ sources.list.d/c-old.list.disabled
deb http://old.lan/debian bookworm main
@@ expect
Types: deb
URIs: file:/srv/mirror/debian-security
Suites: bookworm-security
Components: non-free

Types: deb
URIs: file:/srv/mirror/debian
Suites: bookworm
Components: non-free
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGYAAAABEAC0
 -----END PGP PUBLIC KEY BLOCK-----
ROW

row "no source at all" <<'ROW'
@@ refuse
ROW

row "only other releases, other vendors and disabled entries" <<'ROW'
@@ sources.list
# deb http://mirror.lan/debian bookworm main
deb http://mirror.lan/debian trixie main
deb-src http://mirror.lan/debian bookworm main
@@ sources.list.d/debian.sources
Types: deb
URIs: http://mirror.lan/debian
Suites: bookworm bookworm-security
Components: main
Enabled: no
@@ sources.list.d/vendor.list
deb [signed-by=/etc/apt/keyrings/vendor.gpg] https://packages.vendor.invalid/linux/debian bookworm stable
@@ refuse
ROW

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed over $rows layouts" >&2
  exit 1
fi
echo "$rows layouts read as expected"
