#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs to build, run and test.
# Only what is missing is installed, so a second run costs nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-translations-l10n libgl-dev
  libpoco-dev libgmime-3.0-dev
  fonts-noto-cjk
  xvfb xauth imagemagick
  postfix dovecot-core dovecot-pop3d msmtp
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  # The mail servers are only run by the tests, from private folders on
  # loopback ports: keep the package scripts from configuring and starting
  # the system's own daemons on ports 25 and 110. debconf gets "No
  # configuration" for postfix, and a temporary policy-rc.d forbids every
  # service start; whatever policy-rc.d was there before is put back.
  echo "postfix postfix/main_mailer_type select No configuration" |
    "${sudo_cmd[@]}" debconf-set-selections
  policy=/usr/sbin/policy-rc.d
  saved_policy=""
  if [ -e "$policy" ]; then
    saved_policy=$(mktemp)
    "${sudo_cmd[@]}" cp -p "$policy" "$saved_policy"
  fi
  restore_policy() {
    if [ -n "$saved_policy" ]; then
      "${sudo_cmd[@]}" cp -p "$saved_policy" "$policy"
      "${sudo_cmd[@]}" rm -f "$saved_policy"
    else
      "${sudo_cmd[@]}" rm -f "$policy"
    fi
  }
  trap restore_policy EXIT
  printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$policy" >/dev/null
  "${sudo_cmd[@]}" chmod 755 "$policy"
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
  restore_policy
  trap - EXIT
fi
