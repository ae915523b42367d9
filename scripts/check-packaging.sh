#!/usr/bin/env bash
# Checks what `cmake --install` lays out for the desktop with the freedesktop validators, the
# player's systemd unit with systemd-analyze, and that the Debian package gets its dependencies.
# Needs a configured and built tree.
# Usage: scripts/check-packaging.sh [BUILD_DIR]      (default: build, as ./test.sh leaves it)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
id=org.example.ktr
./scripts/install-deps.sh desktop-file-utils appstream dpkg-dev file systemd man-db shared-mime-info xdg-utils libglib2.0-bin

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "check-packaging: $*" >&2
  exit 1
}

DESTDIR="$tmp/root" cmake --install "$build" --prefix /usr >/dev/null
usr=$tmp/root/usr
for f in bin/ktr libexec/ktr/ktr-play share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/32x32/apps/$id.png share/icons/hicolor/scalable/apps/$id.svg \
  share/man/man1/ktr.1.gz share/doc/ktr/copyright share/doc/ktr/changelog.gz \
  lib/systemd/system/ktr-play@.service share/ktr/examples/futofeny.eff share/mime/packages/$id.xml; do
  [ -f "$usr/$f" ] || fail "not installed: /usr/$f"
done

desktop-file-validate "$usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml"
# Cross-checks the metainfo against the launcher and the icons as installed.
appstreamcli validate-tree --no-net "$usr" >/dev/null || appstreamcli validate-tree --no-net "$usr"

# verify wants the programs of Exec lines to exist and the man: documentation to be found: check a
# copy pointed at the program and the manual page as installed here. It only warns about unknown
# or malformed settings, so any output fails the check.
mkdir "$tmp/units"
sed "s|/usr/libexec/ktr/ktr-play|$usr/libexec/ktr/ktr-play|" "$usr/lib/systemd/system/ktr-play@.service" \
  >"$tmp/units/ktr-play@.service"
verify=$(cd "$tmp/units" && MANPATH="$usr/share/man" systemd-analyze verify ktr-play@.service 2>&1) ||
  fail "systemd-analyze verify failed: $verify"
[ -z "$verify" ] || fail "systemd-analyze verify: $verify"
# The sandbox, rated from 0 (closed) to 10 (exposed); --threshold counts in tenths.
security=$(cd "$tmp/units" && systemd-analyze security --offline=yes --threshold=30 ktr-play@check.service 2>&1) &&
  secure=yes || secure=no
exposure=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' <<<"$security")
[ -n "$exposure" ] || fail "systemd-analyze security gave no figure: $security"
[ $secure = yes ] || fail "the player's unit rates $exposure in systemd-analyze security, above 3.0:
$(grep '✗' <<<"$security")"
# The program named in the unit is the one installed next to it.
exec_start=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$usr/lib/systemd/system/ktr-play@.service")
[ "$exec_start" = /usr/libexec/ktr/ktr-play ] ||
  fail "the unit starts $exec_start, the player is installed as /usr/libexec/ktr/ktr-play"

(cd "$build" && cpack -G DEB -B "$tmp/deb") >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; fail "cpack failed"; }
deb=$(echo "$tmp"/deb/ktr_*.deb)
[ -f "$deb" ] || fail "cpack made no .deb"
depends=$(dpkg-deb -f "$deb" Depends)
for p in fonts-dejavu-extra libqt6widgets6 libc6; do
  [[ $depends == *"$p"* ]] || fail "Depends lacks $p: $depends"
done

dpkg-deb -c "$deb" >"$tmp/contents"
grep -q ' ./usr/lib/systemd/system/ktr-play@\.service$' "$tmp/contents" ||
  fail "the package lacks /usr/lib/systemd/system/ktr-play@.service"

# The package version comes from CMake; the release notes must name it too.
version=$(dpkg-deb -f "$deb" Version)
release=$(grep -o -m1 '<release version="[^"]*"' "$usr/share/metainfo/$id.metainfo.xml" | cut -d'"' -f2)
changelog=$(zcat "$usr/share/doc/ktr/changelog.gz" | head -1 | sed -n 's/^ktr (\([^)]*\)).*/\1/p')
[ "$release" = "$version" ] || fail "newest release in the metainfo is $release, the package is $version"
[ "$changelog" = "$version" ] || fail "newest changelog entry is $changelog, the package is $version"

# The package's own files, unpacked as dpkg would lay them out, with the databases its triggers
# rebuild (shared-mime-info, desktop-file-utils). A desktop asks GLib/gio, as xdg-mime does on
# GNOME: an .eff file must be an effect and KTR its application.
root=$tmp/debroot
dpkg-deb -x "$deb" "$root"
grep -q '^ExecStart=/usr/libexec/ktr/ktr-play ' "$root/usr/lib/systemd/system/ktr-play@.service" &&
  [ -x "$root/usr/libexec/ktr/ktr-play" ] || fail "the package's unit does not start its /usr/libexec/ktr/ktr-play"
XDG_DATA_DIRS="$root/usr/share:/usr/share" update-mime-database "$root/usr/share/mime" >/dev/null
update-desktop-database "$root/usr/share/applications"
printf 'x0\r\n' >"$tmp/x.eff"
mimetype=$(XDG_DATA_DIRS="$root/usr/share:/usr/share" XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config" \
  XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$tmp/x.eff")
[ "$mimetype" = application/x-ktr-effect ] || fail "xdg-mime names x.eff as '$mimetype', not application/x-ktr-effect"
handler=$(XDG_DATA_DIRS="$root/usr/share:/usr/share" XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config" \
  XDG_CURRENT_DESKTOP=GNOME xdg-mime query default application/x-ktr-effect)
[ "$handler" = "$id.desktop" ] || fail "effect files open with '$handler', not $id.desktop"
grep -q '^Exec=ktr %f$' "$root/usr/share/applications/$id.desktop" || fail "the launcher does not pass the file"

echo "check-packaging: launcher, AppStream data, icons, the player's unit and the $(basename "$deb") package are fine"
echo "check-packaging: the player's unit rates $exposure in systemd-analyze security (at most 3.0)"
echo "check-packaging: .eff files are $mimetype and open in KTR"
