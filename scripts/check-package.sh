#!/usr/bin/env bash
# Builds the Debian package from the release build and checks it as Debian's own tools do:
# lintian, the desktop entry and AppStream validators, the package's contents and
# dependencies, the service's systemd units (systemd-analyze verify) and maintainer scripts
# (sh -n), runs the units as shipped under systemd's manager (scripts/check-units.sh) and asks
# a real polkitd with the package's actions (scripts/check-polkit.sh); then
# installs the program into scratch roots (the install rules with DESTDIR,
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
# The service: its program, its command, its manual page and its systemd units.
unit_dir=$(sed -n 's/^PYX_SYSTEMD_UNIT_DIR:[A-Z]*=//p' "$build/CMakeCache.txt")
[ -n "$unit_dir" ] || fail "the release build names no folder for the systemd units (PYX_SYSTEMD_UNIT_DIR)"
expect - ./usr/lib/pyxtune/pyxtuned
grep -qxF 'l ./usr/sbin/pyxtuned -> ../lib/pyxtune/pyxtuned' <<<"$contents" || fail "/usr/sbin/pyxtuned is not a link into the program folder"
expect - ./usr/share/man/man8/pyxtuned.8.gz
for unit in pyxtuned.socket pyxtuned.service; do expect - ".$unit_dir/$unit"; done
expect - ./usr/share/polkit-1/actions/org.pyxtune.policy
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

say "maintainer scripts"
control=$scratch/control
dpkg-deb -e "$deb" "$control"
for script in postinst prerm postrm; do
  if [ ! -f "$control/$script" ]; then
    fail "the package has no $script"
    continue
  fi
  [ -x "$control/$script" ] || fail "the package's $script is not executable"
  head -n1 "$control/$script" | grep -qxF '#!/bin/sh' || fail "the package's $script does not start with #!/bin/sh"
  sh -n "$control/$script" || fail "the package's $script is not valid sh"
done
grep -q 'addgroup .*--system pyxtune' "$control/postinst" 2>/dev/null || fail "postinst does not make the pyxtune group"
grep -q 'deb-systemd-helper enable pyxtuned.socket' "$control/postinst" 2>/dev/null || fail "postinst does not enable pyxtuned.socket"
grep -q 'deb-systemd-invoke stop .*pyxtuned.service' "$control/prerm" 2>/dev/null || fail "prerm does not stop pyxtuned.service"
grep -q 'deb-systemd-helper purge pyxtuned.socket' "$control/postrm" 2>/dev/null || fail "postrm does not purge the socket's enablement"

say "systemd units"
# The units must start the program where the package puts it.
program=/usr/lib/pyxtune/pyxtuned
service_unit=$unpacked$unit_dir/pyxtuned.service
socket_unit=$unpacked$unit_dir/pyxtuned.socket
[ -x "$unpacked$program" ] || fail "the package's $program is not an executable file"
grep -qxF "ExecStart=$program" "$service_unit" || fail "pyxtuned.service does not start $program"
grep -qxF "ExecStopPost=$program --hand-back-fans" "$service_unit" ||
  fail "pyxtuned.service does not hand the fans back with $program --hand-back-fans after it ends"
grep -qxF 'ListenStream=/run/pyxtune/pyxtuned.sock' "$socket_unit" || fail "pyxtuned.socket does not listen on /run/pyxtune/pyxtuned.sock"
# The polkit actions the service asks for: well-formed, and the two the service names.
policy=$unpacked/usr/share/polkit-1/actions/org.pyxtune.policy
xmllint --noout "$policy" 2>/dev/null || fail "org.pyxtune.policy is not well-formed XML"
for action in org.pyxtune.tune org.pyxtune.lighting; do
  grep -q "<action id=\"$action\">" "$policy" 2>/dev/null || fail "org.pyxtune.policy lacks the action $action"
done
if ! command -v systemd-analyze >/dev/null; then
  fail "systemd-analyze is missing (package systemd): the units cannot be verified"
else
  # The package is not installed here, so verify copies whose commands name the unpacked
  # program (the same file); its manual page, named by Documentation=, is looked up in the
  # unpacked root too. Any finding fails, not only an error.
  units=$scratch/units
  mkdir "$units"
  cp "$socket_unit" "$service_unit" "$units/"
  sed -i "s|=$program\b|=$unpacked$program|" "$units/pyxtuned.service"
  if verified=$(cd "$units" && MANPATH="$unpacked/usr/share/man" SYSTEMD_LOG_COLOR=0 \
    systemd-analyze verify "$units/pyxtuned.socket" "$units/pyxtuned.service" 2>&1); then
    [ -z "$verified" ] || {
      echo "$verified"
      fail "systemd-analyze verify has findings on the units"
    }
  else
    echo "$verified"
    fail "systemd-analyze verify rejects the units"
  fi
fi

say "the units under systemd's manager"
# As shipped: socket activation, the StateDirectory, the fans' hand-back after a kill, the
# restart. The check makes a mount namespace of its own, which needs root (as CI runs).
if [ "$(id -u)" -eq 0 ]; then
  bash scripts/check-units.sh "$unpacked" "$unit_dir" || fail "the units did not run as they should under systemd's manager"
else
  echo "skipped: running the units under systemd's manager needs root"
fi

say "a real polkitd"
# The package's actions, asked by the package's service for clients outside the group pyxtune.
if [ "$(id -u)" -eq 0 ]; then
  bash scripts/check-polkit.sh "$unpacked" || fail "polkitd did not grant or refuse as its rules say"
else
  echo "skipped: asking a real polkitd needs root"
fi

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
