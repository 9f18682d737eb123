#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs.
#
#   scripts/install-deps.sh run      what building and running the program
#                                    needs
#   scripts/install-deps.sh package  that, plus what building the Debian
#                                    package needs (dpkg-shlibdeps from
#                                    dpkg-dev, and file, with which CPack
#                                    finds the binaries to read)
#   scripts/install-deps.sh test     the package's, plus what building and
#                                    running every test needs (clang with its
#                                    sanitizer and fuzzer runtime, llvm for
#                                    llvm-symbolizer, clang-format for the
#                                    layout check, the test libraries, the
#                                    mail servers of the end-to-end tests,
#                                    openssl for their test CA, python3 for
#                                    their test authorization server, a
#                                    private D-Bus session with the desktop
#                                    keyring and secret-tool, the CUPS daemon
#                                    and its PDF printer for the printing
#                                    tests, and the validators of the desktop
#                                    entry and the AppStream metadata for the
#                                    package test)
#
# Only what is missing is installed, so a second run costs nothing.
set -euo pipefail

run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n libgl-dev
  libpoco-dev libssl-dev libgmime-3.0-dev libsecret-1-dev
  fonts-noto-cjk
)
package_packages=(
  "${run_packages[@]}"
  dpkg-dev file
)
test_packages=(
  "${package_packages[@]}"
  desktop-file-utils appstream
  clang libclang-rt-14-dev llvm clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth imagemagick poppler-utils
  postfix dovecot-core dovecot-pop3d msmtp curl openssl
  python3 dbus-bin dbus-daemon gnome-keyring libsecret-tools
  cups-daemon cups-client printer-driver-cups-pdf
)

case "${1:-}" in
  run) packages=("${run_packages[@]}") ;;
  package) packages=("${package_packages[@]}") ;;
  test) packages=("${test_packages[@]}") ;;
  *)
    echo "usage: $0 run|package|test" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -gt 0 ] || exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q

# The mail servers and CUPS are only run by the tests, from private folders
# on loopback ports: keep the package scripts from configuring and starting
# the system's own daemons on ports 25, 110 and 631 (with no CUPS running,
# cups-pdf adds no queue to the system's either). debconf gets "No
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
