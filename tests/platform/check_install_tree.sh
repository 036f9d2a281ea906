#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a scratch prefix and checks the desktop integration there:
# check_install_tree.sh CMAKE BUILD_DIR APP_ID
set -euo pipefail
cmake=$1
build=$2
id=$3

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix=$root/usr
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
for f in "$desktop" "$metainfo" "$prefix/share/icons/hicolor/scalable/apps/$id.svg"; do
    [ -f "$f" ] || fail "not installed: ${f#"$prefix"/}"
done
[ "$failed" -eq 0 ] || exit 1

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects ${desktop#"$prefix"/}"

# The menu shows the icon the entry names, and the entry starts the installed program.
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ "$icon" = "$id" ] || fail "Icon=$icon, expected $id"
found_icon=$(find "$prefix/share/icons/hicolor" -name "$icon.svg" -o -name "$icon.png" | head -n 1)
[ -n "$found_icon" ] || fail "no icon named $icon under share/icons/hicolor"
program=$(sed -n 's/^Exec=//p' "$desktop" | cut -d' ' -f1)
[ -x "$prefix/bin/$program" ] || fail "Exec=$program is not an installed program in bin/"

grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
    || fail "metainfo does not launch $id.desktop"
# validate-tree also checks that the launchable desktop entry is really installed.
appstreamcli validate-tree --no-net --strict "$prefix" || fail "appstreamcli validate-tree"

exit "$failed"
