# What the shell checks of the test fixtures share (sourced): `check WHAT
# COMMAND...` runs the command and says "ok: WHAT" or "FAILED: WHAT",
# remembering a failure in `failed` for the script's exit status; `has` and
# `lacks` look for a text in another.
# shellcheck shell=bash
failed=0

check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failed=1
  fi
}

# The running stack of `$1` (DIR as given to mailstack.sh start): its env
# file sourced, or the end of the script (77, counted as skipped, where the
# stack could not run; 1 where none runs).
use_stack() {
  dir=${1%/}
  if [ -e "$dir/unavailable" ]; then
    echo "no mail stack: $(cat "$dir/unavailable")"
    exit 77
  fi
  [ -f "$dir/env" ] || { echo "no mail stack running in $dir" >&2; exit 1; }
  # shellcheck source=/dev/null
  source "$dir/env"
}

# Called through check, which shellcheck does not follow.
# shellcheck disable=SC2317
has() { grep -q -- "$1" <<<"$2"; }
# shellcheck disable=SC2317
lacks() { ! grep -q -- "$1" <<<"$2"; }
