#!/usr/bin/env bash
# Runs a command in a desktop session of its own for the tests of what the
# program keeps in the desktop keyring (the refresh tokens of its OAuth
# sign-ins): a private D-Bus session bus with the GNOME keyring's secret
# service on it, its login keyring unlocked by a known password. Nothing
# of the user's own session or keyring is seen or touched.
#
#   with-keyring.sh CMD [ARG...]               keyring there and unlocked
#   with-keyring.sh --no-service CMD [ARG...]  a session bus, but no secret
#                                              service on it
#   with-keyring.sh --no-bus CMD [ARG...]      no session bus at all
#
# The last two are the machines without a keyring, which the program must
# tell its user about instead of failing: a bus that cannot name anyone
# providing org.freedesktop.secrets, and a DBUS_SESSION_BUS_ADDRESS that
# leads nowhere. The private bus activates no services: without that, a
# request to the secret service would start a locked keyring of its own,
# which would wait for a password prompt that no one can answer.
#
# Ends with CMD's exit status; 77 (ctest's skip) when the packages are
# missing (scripts/install-deps.sh test). The keyring lives in a folder
# removed afterwards, or in ZENTAVO_KEYRING_DIR when that is set, which
# keeps it for a later run (a program that must find its token again after
# a restart). Its password is ZENTAVO_KEYRING_PASSWORD, by default
# "zentavo-test-keyring". Works as root and as any other user; secret-tool
# (store, lookup, clear) reads and writes the same keyring from within CMD.
set -euo pipefail

usage() { echo "usage: with-keyring.sh [--no-service | --no-bus] CMD [ARG...]" >&2; exit 2; }

mode=unlocked
case "${1:-}" in
  --no-service) mode=no-service; shift ;;
  --no-bus) mode=no-bus; shift ;;
  --inside-session) mode=inside; shift ;;
  -*) usage ;;
esac
[ $# -ge 1 ] || usage

if [ "$mode" = no-bus ]; then
  # Set rather than unset: with no address at all, the D-Bus libraries
  # look for a bus of the user's login session or launch one.
  exec env DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/zentavo-no-session-bus "$@"
fi

if [ "$mode" = inside ]; then
  # Within the private session: start the keyring, wait for it to be on
  # the bus, then become CMD.
  data=$1
  shift
  # The daemon's own HOME and XDG folders point into the test folder, so
  # it neither reads nor writes the user's keyrings; CMD keeps the real ones.
  mkdir -p "$data/home" "$data/data" "$data/run"
  chmod 0700 "$data/run"
  printf '%s' "${ZENTAVO_KEYRING_PASSWORD:-zentavo-test-keyring}" |
    HOME=$data/home XDG_DATA_HOME=$data/data XDG_RUNTIME_DIR=$data/run \
      gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>>"$data/daemon.log"
  for ((i = 0; i < 200; i++)); do
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q "boolean true"; then
      exec "$@"
    fi
    sleep 0.025
  done
  echo "with-keyring: the keyring did not come up on the session bus" >&2
  exit 1
fi

for tool in dbus-run-session dbus-send gnome-keyring-daemon; do
  if ! command -v "$tool" >/dev/null; then
    echo "with-keyring: $tool is not installed (scripts/install-deps.sh test)" >&2
    exit 77
  fi
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/zt-keyring.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
data=${ZENTAVO_KEYRING_DIR:-$tmp/keyring}
mkdir -p "$data"

# A session bus like the desktop's, less its service folders.
cat >"$tmp/session.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:dir=$tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF

status=0
if [ "$mode" = no-service ]; then
  dbus-run-session --config-file="$tmp/session.conf" -- "$@" || status=$?
else
  dbus-run-session --config-file="$tmp/session.conf" -- "$0" --inside-session "$data" "$@" || status=$?
fi
exit "$status"
