# shellcheck shell=bash
# Sourced by the set-up scripts. apt_update LOG [apt-get options...] fetches the package lists with
# "apt-get update -q", showing apt's output and keeping it in LOG, and returns apt's status. apt-get update
# does not wait for the lists' lock as an installation waits for dpkg's: while another apt holds it, this
# waits (up to ten minutes) and tries again.
apt_update() {
  local - log=$1 waited=0 status
  set -o pipefail  # for this function alone: the status is apt's, not tee's
  shift
  while :; do
    status=0
    apt-get update -q "$@" 2>&1 | tee "$log" || status=$?
    if [ "$status" = 0 ] || ! grep -q '^E: Could not get lock' "$log" || [ "$waited" -ge 600 ]; then
      return "$status"
    fi
    echo "apt_update: another apt holds the package lists; waiting" >&2
    sleep 10
    waited=$((waited + 10))
  done
}
