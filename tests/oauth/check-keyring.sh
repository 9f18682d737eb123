#!/usr/bin/env bash
# Checks with secret-tool alone that with-keyring.sh gives what the tests
# of the program's token storage expect of it: an unlocked keyring that
# stores and finds a secret, a keyring kept in ZENTAVO_KEYRING_DIR from one
# run to the next, and the two machines without one (a session bus without
# a secret service, no session bus at all). Run as root, it also checks the
# keyring of an ordinary user (nobody).
#
#   check-keyring.sh
#
# Ends with 0 when every check passes, 1 when one fails (each is listed) and
# 77 when the packages are missing (scripts/install-deps.sh test).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
for tool in secret-tool dbus-run-session gnome-keyring-daemon; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed (scripts/install-deps.sh test)"
    exit 77
  fi
done
# shellcheck source=tests/support/checks.sh
source "$(dirname "$0")/../support/checks.sh"
tmp=$(mktemp -d "${TMPDIR:-/tmp}/zt-keyring-check.XXXXXX")
chmod 0755 "$tmp"
trap 'rm -rf "$tmp"' EXIT

# shellcheck disable=SC2317
same() { [ "$1" = "$2" ]; }

# What runs inside: stores VALUE unless it is empty, then prints what a
# lookup finds, or secret-tool's complaint.
cat >"$tmp/probe" <<'EOF'
#!/bin/sh
if [ -n "$1" ]; then
  printf '%s' "$1" | secret-tool store --label="Zentavo test" service zentavo-test account office@staff.test || exit 1
fi
secret-tool lookup service zentavo-test account office@staff.test 2>&1
EOF
chmod 0755 "$tmp/probe"

out=$("$here/with-keyring.sh" "$tmp/probe" token-1 2>/dev/null)
check "a secret is stored and found again in the unlocked keyring" same "$out" token-1

mkdir -m 0700 "$tmp/kept"
ZENTAVO_KEYRING_DIR=$tmp/kept "$here/with-keyring.sh" "$tmp/probe" token-2 >/dev/null 2>&1
out=$(ZENTAVO_KEYRING_DIR=$tmp/kept "$here/with-keyring.sh" "$tmp/probe" "" 2>/dev/null)
check "a keyring in ZENTAVO_KEYRING_DIR keeps the secret for the next run" same "$out" token-2
out=$("$here/with-keyring.sh" "$tmp/probe" "" 2>/dev/null)
check "a keyring of its own starts empty" same "$out" ""

out=$(timeout 20 "$here/with-keyring.sh" --no-service "$tmp/probe" "" 2>/dev/null)
check "--no-service: the bus names no secret service" has "org.freedesktop.secrets was not provided" "$out"
out=$(timeout 20 "$here/with-keyring.sh" --no-bus "$tmp/probe" "" 2>/dev/null)
check "--no-bus: no session bus to connect to" has "Could not connect" "$out"

if [ "$(id -u)" -eq 0 ] && command -v runuser >/dev/null; then
  out=$(cd "$tmp" && runuser -u nobody -- "$here/with-keyring.sh" "$tmp/probe" token-3 2>/dev/null)
  check "the same for an ordinary user (nobody)" same "$out" token-3
fi

exit $failed
