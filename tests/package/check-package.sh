#!/usr/bin/env bash
# Builds the Debian package as scripts/package.sh builds it and checks what a
# machine installing it gets: exactly the expected files with their modes,
# the dependencies read from the binaries plus the Japanese font, no
# maintainer scripts (removing the package must leave every user's data
# folder alone), a desktop entry and AppStream metadata that their
# validators accept, and programs that tell the version without a display.
#
#   check-package.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
source_dir=$1 build=$2 version=$3

fail() {
  echo "check-package: $*" >&2
  exit 1
}

# Low priority: the other tests running beside this build have time-outs.
nice -n 10 "$source_dir/scripts/package.sh" "$build"
deb=$build/zentavo_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"

for field in Package=zentavo Version="$version" Section=mail; do
  got=$(dpkg-deb -f "$deb" "${field%%=*}")
  [ "$got" = "${field#*=}" ] || fail "${field%%=*} is '$got', not '${field#*=}'"
done

expected_files="-rw-r--r-- ./usr/share/applications/zentavo.desktop
-rw-r--r-- ./usr/share/doc/zentavo/copyright
-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/zentavo.svg
-rw-r--r-- ./usr/share/man/man1/zentavo-data.1.gz
-rw-r--r-- ./usr/share/man/man1/zentavo.1.gz
-rw-r--r-- ./usr/share/metainfo/jp.zentavo.zentavo.metainfo.xml
-rwxr-xr-x ./usr/bin/zentavo
-rwxr-xr-x ./usr/bin/zentavo-data"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $6 }' | LC_ALL=C sort -k2)
expected_files=$(LC_ALL=C sort -k2 <<<"$expected_files")
[ "$files" = "$expected_files" ] ||
  fail "files differ (< expected, > packed):"$'\n'"$(diff <(echo "$expected_files") <(echo "$files") || true)"
owners=$(dpkg-deb -c "$deb" | awk '{ print $2 }' | sort -u)
[ "$owners" = root/root ] || fail "owners: $owners"

# One name per dependency, versions and alternatives dropped.
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }')
for wanted in fonts-noto-cjk libc6 'libstdc\+\+6' libqt6widgets6 libqt6printsupport6 \
  'libgmime-3\.0-0' 'libpoconet[0-9]+' 'libpocofoundation[0-9]+' libssl3; do
  grep -Eqx "$wanted" <<<"$names" || fail "Depends lacks $wanted: $depends"
done

control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
for script in preinst postinst prerm postrm config; do
  ! grep -qx "./$script" <<<"$control" || fail "the package has a $script"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop=$root/usr/share/applications/zentavo.desktop
desktop-file-validate "$desktop"
# The metadata as `validate` checks it, and tied to the packed desktop entry.
appstreamcli validate-tree --no-net "$root"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$root/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not a packed program"
icon=$(sed -n 's/^Icon=//p' "$desktop")
compgen -G "$root/usr/share/icons/hicolor/*/apps/$icon.*" >/dev/null || fail "no icon '$icon'"

for program in zentavo zentavo-data; do
  got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --version) ||
    fail "$program --version failed"
  [ "$got" = "$program $version" ] || fail "$program --version says '$got'"
done
echo "check-package: $deb is good"
