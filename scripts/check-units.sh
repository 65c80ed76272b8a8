#!/usr/bin/env bash
# Runs the package's systemd units, as shipped, under a real systemd service manager: the socket
# starts the service on the first request, the service's settings go to its StateDirectory, a
# killed service gets its fans handed back (ExecStopPost) and is started anew
# (Restart=on-failure), a stopped one leaves its socket listening, and one whose GPU is taken out
# ends with status 75 and is started anew with the GPUs that are left.
# The machine need not run systemd: the manager is a per-user instance of root's, started in a
# mount namespace of this script's own, where /run/systemd says systemd booted, /run/pyxtune is a
# fresh tmpfs and the package's program folder lies at /usr/lib/pyxtune, and in a network
# namespace of its own, where the kernel's device event this check makes reaches nobody else.
# The cards are simulated (a drop-in adds only the simulator's environment).
#   scripts/check-units.sh UNPACKED_ROOT UNIT_DIR     (as root; check-package.sh calls it)
set -euo pipefail
root=$1 unit_dir=$2
program_folder=/usr/lib/pyxtune
two_cards=$(cd "$(dirname "$0")/.." && pwd)/sim/scenarios/two-cards.json

. "$(dirname "$0")/own-namespace.sh"
if [ "${PYX_IN_OWN_NAMESPACE:-}" != 1 ]; then
  [ "$(id -u)" -eq 0 ] || { echo "FAIL: the units' check needs root (a mount namespace)" >&2; exit 1; }
  [ -x /lib/systemd/systemd ] || { echo "FAIL: no systemd here (package systemd)" >&2; exit 1; }
  command -v python3 >/dev/null || { echo "FAIL: no python3 here (it sends the kernel's device event)" >&2; exit 1; }
fi
mount_points=(/run/systemd /run/pyxtune "$program_folder")
unshare_options=(--net)
in_own_namespace "$0" "$@"

mount -t tmpfs -o mode=0755 systemd /run/systemd
mkdir /run/systemd/system
# What systemd makes at boot for the sandbox to hide paths behind (ProtectHome=yes).
mkdir -m 0755 /run/systemd/inaccessible
mkdir -m 0000 /run/systemd/inaccessible/dir
install -m 0000 /dev/null /run/systemd/inaccessible/reg
mkfifo -m 0000 /run/systemd/inaccessible/fifo
mknod -m 0000 /run/systemd/inaccessible/chr c 0 0
mknod -m 0000 /run/systemd/inaccessible/blk b 0 0
mount -t tmpfs -o mode=0755 pyxtune /run/pyxtune
mount --bind "$root$program_folder" "$program_folder"

# The manager's own folders, outside /tmp, /home and /root, which the units' sandbox hides.
home=/run/systemd/check
export XDG_RUNTIME_DIR=$home/runtime XDG_CONFIG_HOME=$home/config XDG_STATE_HOME=$home/state HOME=$home
units=$XDG_CONFIG_HOME/systemd/user
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$units/pyxtuned.service.d" "$XDG_STATE_HOME"
cp "$root$unit_dir/pyxtuned.socket" "$root$unit_dir/pyxtuned.service" "$units/"
cards=/run/systemd/cards.json
cat >"$units/pyxtuned.service.d/simulated.conf" <<CONF
[Service]
Environment=PYXTUNE_GPU_BACKEND=sim PYXTUNE_SIM_STATE=$cards DBUS_SYSTEM_BUS_ADDRESS=unix:path=/run/systemd/no-bus
# Long enough to see the fans handed back before the service is started anew.
RestartSec=3
# A manager's per-user instance sets this up in a namespace that lacks /run/systemd, where this
# check's manager has its notify socket (the system manager keeps it): the service's READY=1
# would go nowhere.
ProtectControlGroups=no
CONF

/lib/systemd/systemd --user --log-target=console --log-level=notice >"$home/manager.log" 2>&1 &
manager=$!
trap 'kill "$manager" 2>/dev/null || true; wait "$manager" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  [ -S "$XDG_RUNTIME_DIR/systemd/private" ] && break
  sleep 0.1
done
sctl() { systemctl --user --no-pager "$@"; }
state() { sctl show -p "$2" --value "$1"; }
wait_for() {  # unit, property, value, tenths of a second
  for _ in $(seq 1 "$4"); do
    [ "$(state "$1" "$2")" = "$3" ] && return 0
    sleep 0.1
  done
  return 1
}
ctl() { env -u PYXTUNE_SERVICE_SOCKET PYXTUNE_GPU_BACKEND=sim PYXTUNE_SIM_STATE=$cards "$root/usr/bin/pyxtunectl" "$@"; }

echo "== the socket, and the service it starts"
sctl start pyxtuned.socket || fail "pyxtuned.socket did not start"
[ "$(state pyxtuned.service ActiveState)" = inactive ] || fail "pyxtuned.service runs before anyone asked"
out=$(ctl list 2>&1) || fail "pyxtunectl list through the socket ended with an error: $out"
echo "$out"
grep -q 'owned by the Pyxtune service at /run/pyxtune/pyxtuned.sock' <<<"$out" ||
  fail "pyxtunectl list was not answered by the service at /run/pyxtune/pyxtuned.sock"
wait_for pyxtuned.service ActiveState active 50 || fail "the socket's first request did not start pyxtuned.service"
if [ "$failures" -gt 0 ]; then
  sctl status pyxtuned.socket pyxtuned.service >&2 || true
  echo "the units' check ends here: the service does not answer" >&2
  exit 1
fi
[ "$(state pyxtuned.service Type)" = notify ] || fail "pyxtuned.service is not Type=notify"

echo "== what is kept goes to the StateDirectory"
out=$(ctl apply extreme --yes 2>&1) || fail "apply extreme through the service ended with an error: $out"
stored=$(find "$XDG_CONFIG_HOME/pyxtune" "$XDG_STATE_HOME/pyxtune" -name Preformance.txt 2>/dev/null | head -1 || true)
[ -n "$stored" ] || fail "the kept tuning was not stored in the unit's StateDirectory"
echo "stored: ${stored:-nothing}"

echo "== kill -9 with a fan pinned: handed back, then started anew"
out=$(PYXTUNE_SERVICE=off ctl apply custom --yes --core 0 --mem 0 --power 100 --fan 60 2>&1) ||
  fail "pinning a fan in-process ended with an error: $out"
PYXTUNE_SERVICE=off ctl fan show | grep -q manual || fail "the fan was not pinned"
killed=$(state pyxtuned.service MainPID)
sctl kill -s KILL pyxtuned.service
wait_for pyxtuned.service SubState auto-restart 50 || fail "the killed service is not waiting to start anew ($(state pyxtuned.service SubState))"
post=$(state pyxtuned.service ExecStopPost)
echo "ExecStopPost: $post"
grep -Eq 'code=exited ; status=0( |$)' <<<"$post" || fail "the hand-back after the kill did not run or failed"
fan=$(PYXTUNE_SERVICE=off ctl fan show 2>&1)
echo "$fan"
grep -q automatic <<<"$fan" && ! grep -q manual <<<"$fan" || fail "a fan stayed pinned after the service was killed"
wait_for pyxtuned.service ActiveState active 100 || fail "the killed service was not started anew"
[ "$(state pyxtuned.service NRestarts)" = 1 ] || fail "NRestarts is $(state pyxtuned.service NRestarts), not 1"
[ "$(state pyxtuned.service MainPID)" != "$killed" ] || fail "the service's process is the killed one"

echo "== a stop ends the service and leaves the socket listening"
sctl stop pyxtuned.service
[ "$(state pyxtuned.service Result)" = success ] || fail "the stopped service ended with $(state pyxtuned.service Result)"
[ "$(state pyxtuned.socket ActiveState)" = active ] || fail "stopping the service stopped its socket"
ctl list >/dev/null 2>&1 || fail "the socket did not start the service again after a stop"
wait_for pyxtuned.service ActiveState active 50 || fail "the service did not start again on the next request"

echo "== a GPU taken out: status 75, started anew with the GPUs left"
sctl stop pyxtuned.service
# Two simulated cards, files where the unit's sandbox sees them (not /tmp, /home or /root).
cp "$two_cards" /run/systemd/two-cards.json
two_state=/run/systemd/two-cards-state.json
cat >"$units/pyxtuned.service.d/two-cards.conf" <<CONF
[Service]
Environment=PYXTUNE_SIM_SCENARIO=/run/systemd/two-cards.json PYXTUNE_SIM_STATE=$two_state
CONF
sctl daemon-reload
gpus() { ctl list 2>/dev/null | grep -c '^GPU [0-9]  device' || true; }
[ "$(gpus)" = 2 ] || fail "the service did not start with the two simulated GPUs"
wait_for pyxtuned.service ActiveState active 50 || fail "the service with two GPUs is not running"
restarts=$(state pyxtuned.service NRestarts)
# The second card taken out, as the simulator is told: its state file, replaced whole.
python3 - "$two_state" <<'PY'
import json, os, sys
state = json.load(open(sys.argv[1]))
state["cards"][1]["pluggedIn"] = False
with open(sys.argv[1] + ".new", "w") as f:
    json.dump(state, f)
os.replace(sys.argv[1] + ".new", sys.argv[1])
PY
# The kernel's word that a drm device went, in this namespace only.
python3 - <<'PY'
import socket
path = "/devices/pci0000:00/0000:00:02.0/drm/card1"
event = ("remove@" + path + "\0ACTION=remove\0DEVPATH=" + path + "\0SUBSYSTEM=drm\0DEVNAME=dri/card1\0").encode()
s = socket.socket(socket.AF_NETLINK, socket.SOCK_DGRAM, 15)  # NETLINK_KOBJECT_UEVENT
s.sendto(event, (0, 1))
PY
wait_for pyxtuned.service SubState auto-restart 100 ||
  fail "the service did not end to be started anew after its GPU was taken out ($(state pyxtuned.service SubState))"
echo "ended: $(state pyxtuned.service Result), status $(state pyxtuned.service ExecMainStatus)"
[ "$(state pyxtuned.service ExecMainStatus)" = 75 ] ||
  fail "the service ended with status $(state pyxtuned.service ExecMainStatus), not 75"
wait_for pyxtuned.service ActiveState active 100 || fail "the service was not started anew after its GPU was taken out"
[ "$(state pyxtuned.service NRestarts)" = $((restarts + 1)) ] || fail "no restart was counted after the GPU was taken out"
left=$(gpus)
echo "GPUs listed after the restart: $left"
[ "$left" = 1 ] || fail "the service started anew does not list the one GPU left"
sctl stop pyxtuned.service pyxtuned.socket || true

if [ "$failures" -gt 0 ]; then
  echo "-- the manager's log:" >&2
  cat "$home/manager.log" >&2
  echo "$failures check(s) of the units failed" >&2
  exit 1
fi
echo "the units ran as shipped under systemd's manager: all checks passed"
