#!/usr/bin/env bash
# Builds the Debian package from the release build and checks it as Debian's own tools do:
# lintian, the desktop entry and AppStream validators, the package's contents and
# dependencies; then installs the program into scratch roots (the install rules with DESTDIR,
# and the package unpacked) and runs pyxtunectl from each, as a user without rights on the
# program folder would.
#   scripts/check-package.sh              build the release preset first (quick when built)
#   scripts/check-package.sh --no-build   use build/release as it is
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build=$repo/build/release
started=$(date +%s)
failures=0

say() { printf '== %s [%ds]\n' "$*" $(($(date +%s) - started)); }
fail() {
  printf 'FAIL: %s\n' "$*" >&2
  failures=$((failures + 1))
}

scratch=$(mktemp -d /tmp/pyxtune-package.XXXXXX)
cleanup() {
  chmod -R u+w "$scratch" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
chmod 755 "$scratch"

if [ "${1:-}" != "--no-build" ]; then
  say "release build"
  cmake --preset release >/dev/null
  cmake --build --preset release
fi

say "package"
rm -rf "$build/package"
(cd "$build" && cpack --config CPackConfig.cmake)
debs=("$build"/package/pyxtune_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: expected one package, found: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB)"

say "lintian"
# Every finding is shown; errors fail the step.
lintian --fail-on error --display-info --display-experimental --pedantic "$deb" || fail "lintian reports errors"

say "contents"
dpkg-deb -f "$deb" Package Version Architecture Depends
contents=$(dpkg-deb -c "$deb" | awk '{ line = $6; for (i = 7; i <= NF; i++) line = line " " $i; print substr($1, 1, 1), line }')
expect() {  # type (- file, l link, d folder) and path, as dpkg-deb -c lists them
  grep -qxF -- "$1 $2" <<<"$contents" || grep -q -- "^$1 $2 -> " <<<"$contents" || fail "the package lacks $1 $2"
}
for program in pyxtune pyxtunectl ReadMem; do expect - ./usr/lib/pyxtune/$program; done
for font in Arial.ttf DS-DIGI.ttf; do
  expect l ./usr/lib/pyxtune/$font
  expect l ./usr/lib/pyxtune/$font.LICENSE.txt
done
grep -qxF 'l ./usr/bin/pyxtune -> ../lib/pyxtune/pyxtune' <<<"$contents" || fail "/usr/bin/pyxtune is not a link into the program folder"
grep -qxF 'l ./usr/bin/pyxtunectl -> ../lib/pyxtune/pyxtunectl' <<<"$contents" || fail "/usr/bin/pyxtunectl is not a link into the program folder"
app_id=$(sed -n 's/^set(PYX_APP_ID "\(.*\)")$/\1/p' cmake/PyxInstall.cmake)
expect - ./usr/share/applications/$app_id.desktop
expect - ./usr/share/metainfo/$app_id.metainfo.xml
for size in 16 22 24 32 48 64 128 256; do expect - ./usr/share/icons/hicolor/${size}x$size/apps/$app_id.png; done
expect - ./usr/share/man/man1/pyxtune.1.gz
expect - ./usr/share/man/man1/pyxtunectl.1.gz
expect - ./usr/share/doc/pyxtune/copyright
expect - ./usr/share/doc/pyxtune/changelog.gz
depends=$(dpkg-deb -f "$deb" Depends)
depended=$(tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }')
for needed in libc6 libstdc++6 libqt6widgets6 fonts-liberation fonts-dseg; do
  grep -qxF "$needed" <<<"$depended" || fail "Depends lacks $needed: $depends"
done

say "desktop entry and metainfo"
unpacked=$scratch/deb-root
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
# No network here: nothing the metainfo names is fetched.
appstreamcli validate --no-net --pedantic "$unpacked/usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "appstreamcli validate"
for size in 16 22 24 32 48 64 128 256; do
  file -b "$unpacked/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png" |
    grep -q "PNG image data, $size x $size," || fail "the ${size}px icon is not a $size x $size PNG"
done

say "install with DESTDIR"
destdir=$scratch/destdir
DESTDIR=$destdir cmake --install "$build" --prefix /usr >/dev/null
installed=$(cd "$destdir" && find . -mindepth 1 \( -type f -o -type l \) | sort)
packaged=$(cd "$unpacked" && find . -mindepth 1 \( -type f -o -type l \) | sort)
[ "$installed" = "$packaged" ] || {
  fail "the install rules and the package hold different files"
  diff <(echo "$installed") <(echo "$packaged") >&2 || true
}

# Runs pyxtunectl from a scratch root through its /usr/bin link, as a user who may not write
# into the program folder: "nobody" when this runs as root, else this user with the folder
# made read-only. Its home and XDG folders are a scratch folder of its own.
run_user=()
user_home=$scratch/home
mkdir -p "$user_home"
scenario=$scratch/led-two-cards.json
cp sim/scenarios/led-two-cards.json "$scenario"
chmod 644 "$scenario"
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody:nogroup "$user_home"
  run_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
user_env=(HOME="$user_home" XDG_CONFIG_HOME="$user_home/.config" XDG_DATA_HOME="$user_home/.local/share"
  XDG_STATE_HOME="$user_home/.local/state" XDG_CACHE_HOME="$user_home/.cache"
  XDG_RUNTIME_DIR="$user_home/runtime")
run_ctl() {  # root, NAME=VALUE settings, --, then pyxtunectl's arguments
  local root=$1 settings=()
  shift
  while [ "$1" != "--" ]; do
    settings+=("$1")
    shift
  done
  shift
  env -u PYXTUNE_GPU_BACKEND -u PYXTUNE_SIM_SCENARIO -u PYXTUNE_SIM_STATE -u PYXTUNE_TRACE \
    "${user_env[@]}" "${settings[@]}" "${run_user[@]}" "$root/usr/bin/pyxtunectl" "$@"
}
snapshot() { (cd "$1" && find . -printf '%p %s %T@\n' | sort); }

for root in "$destdir" "$unpacked"; do
  say "pyxtunectl list from ${root#"$scratch"/}"
  program_folder=$root/usr/lib/pyxtune
  [ "$(id -u)" -eq 0 ] || chmod -R a-w "$program_folder"
  before=$(snapshot "$program_folder")
  # The back-end is left to the program: on a machine without the NVIDIA driver, the simulator.
  if out=$(run_ctl "$root" -- list 2>&1); then
    echo "$out"
    head -n1 <<<"$out" | grep -q '^Back-end: ' || fail "pyxtunectl list did not name its back-end"
    grep -q '^GPU 0 ' <<<"$out" || fail "pyxtunectl list showed no GPU"
  else
    echo "$out"
    fail "pyxtunectl list from ${root#"$scratch"/} ended with an error"
  fi

  # Settings of an installed program belong to its user. With two simulated cards the LED
  # command saves "Led.txt"; it must land in the user's own folders, never in the program's.
  rm -rf "$user_home/.config" "$user_home/.local"
  led_out=$(run_ctl "$root" PYXTUNE_GPU_BACKEND=sim PYXTUNE_SIM_SCENARIO="$scenario" -- \
    led --gpu 0 --target zone-main --mode static 2>&1) || fail "pyxtunectl led ended with an error: $led_out"
  after=$(snapshot "$program_folder")
  if [ "$before" != "$after" ]; then
    fail "pyxtunectl changed its program folder:"
    diff <(echo "$before") <(echo "$after") >&2 || true
  fi
  if [ -z "$(find "$user_home" -name Led.txt -print -quit)" ]; then
    fail "pyxtunectl led saved no Led.txt under the user's folders ($user_home): an installed
      program keeps its settings there (expected to fail until the settings-location change lands)"
  fi
  [ "$(id -u)" -eq 0 ] || chmod -R u+w "$program_folder"
done

say "done"
if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package checks passed"
