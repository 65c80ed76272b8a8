# Shared by the checks that run as root in namespaces of their own (check-units.sh,
# check-polkit.sh), so that what they mount and start is seen by nothing else on the machine.
# Sourced.

# Runs the calling script again (in_own_namespace "$0" "$@") in a new mount namespace, and in
# the further ones the array unshare_options names, after making those of the array
# mount_points that are missing here; afterwards removes those it made and ends with that run's
# status. In that run it returns at once.
in_own_namespace() {
  [ "${PYX_IN_OWN_NAMESPACE:-}" = 1 ] && return 0
  local made=() point status=0
  for point in "${mount_points[@]}"; do
    [ -d "$point" ] || { mkdir -p "$point"; made+=("$point"); }
  done
  PYX_IN_OWN_NAMESPACE=1 unshare --mount "${unshare_options[@]}" --propagation private bash "$@" || status=$?
  for point in "${made[@]}"; do rmdir "$point" 2>/dev/null || true; done
  exit "$status"
}

failures=0
fail() {
  printf 'FAIL: %s\n' "$*" >&2
  failures=$((failures + 1))
}
