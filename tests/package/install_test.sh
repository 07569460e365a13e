#!/usr/bin/env bash
# The amd64 package of this build, installed with dpkg into scratch roots (the
# maintainer scripts run against the root through DPKG_ROOT), upgraded and
# removed: its files land where the program looks for them, every library
# and font it uses comes from a package it depends on, the service is enabled
# and accepted by systemd-analyze, and /opt/set is created when missing and
# otherwise left exactly as it was.
# Usage: install_test.sh BUILD_DIR LAYOUT_CHECK
set -euo pipefail
build=$1
layout_check=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# --- the package --------------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.out") || { cat "$work/cpack.out"; fail "cpack"; }
deb=$(echo "$work"/pkg/kestra_*_amd64.deb)
[ -f "$deb" ] || fail "no kestra_<version>_amd64.deb in $(ls "$work/pkg")"
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "kestra_${version}_amd64.deb" ] || fail "package file $(basename "$deb")"
depends=",$(dpkg-deb -f "$deb" Depends | tr -d ' '),"

# --- scratch roots --------------------------------------------------------------
new_root() {
  mkdir -p "$1/var/lib/dpkg/info" "$1/var/lib/dpkg/updates" "$1/var/log"
  touch "$1/var/lib/dpkg/status"
}

# dependencies are the host's; the maintainer scripts run outside a chroot
in_root() {
  local root=$1
  shift
  dpkg --root="$root" --log="$root/var/log/dpkg.log" --force-script-chrootless --force-depends \
    --force-not-root "$@" >"$work/dpkg.out" 2>&1 || { cat "$work/dpkg.out"; fail "dpkg $*"; }
}

installed_version() {
  dpkg-query --admindir="$1/var/lib/dpkg" -W -f='${db:Status-Abbrev}${Version}' kestra 2>/dev/null || true
}

# Every name, type, mode and content under a directory.
snapshot() {
  (cd "$1" && find . -printf '%p %y %m %l\n' | sort && find . -type f -exec sha256sum {} + | sort)
}

# The package of the Debian file that provides FILE on this machine.
owner_of() {
  dpkg -S "$1" 2>/dev/null | head -n 1 | cut -d: -f1
}

depends_on() {
  [[ $depends == *",$1,"* ]]
}

# --- a first installation into an empty root ------------------------------------
fresh=$work/fresh
new_root "$fresh"
in_root "$fresh" -i "$deb"
[ "$(installed_version "$fresh")" = "ii $version" ] || fail "not installed: $(installed_version "$fresh")"

# Dependencies stand in for themselves: the fonts are the host's.
mkdir -p "$fresh/usr/share"
ln -s /usr/share/fonts "$fresh/usr/share/fonts"
"$layout_check" "$fresh" >"$work/layout" || { cat "$work/layout"; fail "a start-up font does not load"; }
layout() { sed -n "s/^$1 //p" "$work/layout"; }
[ "$(layout version)" = "$version" ] || fail "package version $version, program $(layout version)"

settings=$(layout settings)
[ -d "$settings" ] || fail "$settings not created"
[ -z "$(ls -A "$settings")" ] || fail "files written into $settings: $(ls -A "$settings")"

pictures=$(layout pictures)
for picture in "$build"/pictures/*.png; do
  cmp -s "$picture" "$pictures/$(basename "$picture")" || fail "picture $(basename "$picture") not in $pictures"
done

while read -r font; do
  package=$(owner_of "$(realpath "$font")")
  depends_on "$package" || fail "font $font is from '$package', not a dependency"
done < <(layout font)

unit=$fresh/lib/systemd/system/kestra.service
program=$fresh$(sed -n 's/^ExecStart=//p' "$unit")
[ -x "$program" ] || fail "the service starts $program, not installed"
multiarch=$(gcc -print-multiarch)
for library in $(readelf -d "$program" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'); do
  package=$(owner_of "*/$multiarch/$library")
  depends_on "$package" || fail "library $library is from '$package', not a dependency"
done

[ -L "$fresh/etc/systemd/system/multi-user.target.wants/kestra.service" ] || fail "the service is not enabled"
# systemd's own targets, which the unit is ordered against, come from the host.
mkdir -p "$fresh/usr/lib/systemd/system"
cp /usr/lib/systemd/system/*.target "$fresh/usr/lib/systemd/system/"
verify=$(systemd-analyze verify --root="$fresh" /lib/systemd/system/kestra.service 2>&1) ||
  fail "systemd-analyze verify: $verify"
[ -z "$verify" ] || fail "systemd-analyze verify: $verify"

# --- a unit with its settings: install, upgrade, remove, purge ------------------
kept=$work/kept
new_root "$kept"
mkdir -p "$kept/opt/set"
printf 'LinPort: /dev/ttyAMA0\r\nNumBanco: 1\r\n' >"$kept/opt/set/setup.txt"
printf '0 3500000 1 1 120 37\n1 3510000 1 0 7 410' >"$kept/opt/set/atu_ant1_b1.txt"
chmod 0640 "$kept/opt/set/atu_ant1_b1.txt"
snapshot "$kept/opt/set" >"$work/before"
expect_settings_kept() {
  snapshot "$kept/opt/set" >"$work/after"
  diff -u "$work/before" "$work/after" >&2 || fail "/opt/set changed by $1"
}

in_root "$kept" -i "$deb"
expect_settings_kept "the installation"

dpkg-deb -R "$deb" "$work/next"
sed -i "s/^Version: .*/Version: ${version}+1/" "$work/next/DEBIAN/control"
dpkg-deb --root-owner-group -b "$work/next" "$work/next.deb" >/dev/null
in_root "$kept" -i "$work/next.deb"
[ "$(installed_version "$kept")" = "ii ${version}+1" ] || fail "not upgraded: $(installed_version "$kept")"
expect_settings_kept "the upgrade"

in_root "$kept" -r kestra
[ ! -e "$kept/opt/Kestra/kestra" ] || fail "the program stays after the removal"
expect_settings_kept "the removal"
in_root "$kept" -P kestra
expect_settings_kept "the purge"
echo "package $(basename "$deb"): $(stat -c %s "$deb") bytes, installed and checked"
