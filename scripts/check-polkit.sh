#!/usr/bin/env bash
# Asks a real polkitd, as the service does for a client outside the group pyxtune: the package's
# polkit actions, rules that grant the tuning to one user and the lighting to another, a private
# system bus, and the package's pyxtuned on simulated cards; each user's pyxtunectl is allowed
# what its rule grants and refused the rest, with the service's message.
# Runs in a mount namespace of its own, where the package's actions and this check's rules lie
# over polkit's folders and the package's program folder lies at /usr/lib/pyxtune (which the
# test users can reach). No logind answers here, so no subject is in an active session: the
# actions' allow_active defaults are not what is checked, the rules are.
#   scripts/check-polkit.sh UNPACKED_ROOT     (as root; check-package.sh calls it)
set -euo pipefail
root=$1
program_folder=/usr/lib/pyxtune
polkitd=/usr/lib/polkit-1/polkitd

. "$(dirname "$0")/own-namespace.sh"
if [ "${PYX_IN_OWN_NAMESPACE:-}" != 1 ]; then
  [ "$(id -u)" -eq 0 ] || { echo "FAIL: the polkit check needs root (a mount namespace)" >&2; exit 1; }
  [ -x "$polkitd" ] || { echo "FAIL: no polkitd here (package polkitd)" >&2; exit 1; }
fi
mount_points=("$program_folder" /etc/polkit-1/rules.d /usr/share/polkit-1/rules.d /usr/share/polkit-1/actions)
unshare_options=()
in_own_namespace "$0" "$@"

# Readable by polkitd's and the test users' accounts, outside /tmp (mktemp -d is the caller's own).
dir=$(mktemp -d /run/pyxtune-polkit-check.XXXXXX)
chmod 755 "$dir"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$dir"' EXIT
mount --bind "$root$program_folder" "$program_folder"
mount -t tmpfs -o mode=0755 actions /usr/share/polkit-1/actions
cp "$root/usr/share/polkit-1/actions/org.pyxtune.policy" /usr/share/polkit-1/actions/
mount -t tmpfs -o mode=0755 rules /usr/share/polkit-1/rules.d
mount -t tmpfs -o mode=0755 rules /etc/polkit-1/rules.d
cat >/etc/polkit-1/rules.d/50-pyxtune-check.rules <<'RULES'
polkit.addRule(function(action, subject) {
    if (action.id == "org.pyxtune.tune")
        return subject.user == "nobody" ? polkit.Result.YES : polkit.Result.NO;
    if (action.id == "org.pyxtune.lighting")
        return subject.user == "daemon" ? polkit.Result.YES : polkit.Result.NO;
});
RULES

cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$dir/bus.conf" --nofork >"$dir/bus.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do [ -S "$dir/bus" ] && break; sleep 0.1; done
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/bus
"$polkitd" --no-debug >"$dir/polkitd.log" 2>&1 &
pids+=($!)
# polkitd is ready when it owns its name on the bus.
for _ in $(seq 1 100); do
  dbus-send --system --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetNameOwner \
    string:org.freedesktop.PolicyKit1 >/dev/null 2>&1 && break
  sleep 0.1
done
PYXTUNE_GPU_BACKEND=sim PYXTUNE_SIM_STATE=$dir/cards.json \
  "$program_folder/pyxtuned" --socket "$dir/pyxtuned.sock" --settings "$dir/settings" --no-history >"$dir/service.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -S "$dir/pyxtuned.sock" ] && break; sleep 0.1; done

# user, what it asks, allowed or refused
cases=(
  "nobody|apply custom --yes --core 10 --mem 0 --power 100 --fan 0|allowed"
  "daemon|apply custom --yes --core 20 --mem 0 --power 100 --fan 0|refused"
  "daemon|led --reset|allowed"
  "nobody|led --reset|refused"
)
for c in "${cases[@]}"; do
  IFS='|' read -r user request expected <<<"$c"
  status=0
  # shellcheck disable=SC2086  # the request is words
  out=$(setpriv --reuid="$user" --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin HOME=/ \
    PYXTUNE_SERVICE_SOCKET="$dir/pyxtuned.sock" "$program_folder/pyxtunectl" $request 2>&1) || status=$?
  echo "$user: pyxtunectl $request: exit $status"
  if [ "$expected" = allowed ]; then
    [ "$status" -eq 0 ] || fail "$user was refused what polkit's rule grants ($request): $out"
  else
    [ "$status" -ne 0 ] && grep -q "polkit did not authorise it" <<<"$out" ||
      fail "$user was not refused, with polkit named, what polkit's rule denies ($request): $out"
  fi
done

if [ "$failures" -gt 0 ]; then
  echo "-- polkitd:" >&2; cat "$dir/polkitd.log" >&2
  echo "-- the service:" >&2; cat "$dir/service.log" >&2
  echo "$failures check(s) with polkitd failed" >&2
  exit 1
fi
echo "a real polkitd granted and refused as its rules say: all checks passed"
