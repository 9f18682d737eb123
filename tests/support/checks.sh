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

# Called through check, which shellcheck does not follow.
# shellcheck disable=SC2317
has() { grep -q -- "$1" <<<"$2"; }
# shellcheck disable=SC2317
lacks() { ! grep -q -- "$1" <<<"$2"; }
