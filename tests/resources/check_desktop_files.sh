#!/usr/bin/env bash
# Checks the desktop integration files as a desktop would read them:
#   check_desktop_files.sh RESOURCES_DIR
# - the .desktop entry passes desktop-file-validate without a single remark,
#   names an icon we ship and the MIME type we declare;
# - the MIME package is well-formed, valid against the DTD that shared-mime-info ships,
#   and, compiled by update-mime-database into a private folder, maps *.qva in any case
#   to application/x-quorvanta-album, a kind of application/vnd.sqlite3;
# - every hicolor PNG has the size of its folder.
set -euo pipefail

res=${1:?usage: check_desktop_files.sh RESOURCES_DIR}
app_id=io.github.tessavine.QuorvantaAlbumRepair
mime_type=application/x-quorvanta-album
desktop="$res/$app_id.desktop"
mime_xml="$res/quorvanta-album.xml"
python=/usr/bin/python3   # the system one: it has the GObject bindings

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- the .desktop entry -------------------------------------------------------------
if remarks=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$remarks" ]; then
  pass "desktop-file-validate has nothing to say"
else
  fail "desktop-file-validate: ${remarks:-exit status not 0}"
fi

key() { sed -n "s/^$1=//p" "$desktop" | head -n1; }
expect() {  # expect WHAT ACTUAL WANTED
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: '$2', not '$3'"; fi
}
expect "Type" "$(key Type)" Application
expect "Exec opens files" "$(key Exec)" "quorvanta-album-repair %F"
expect "MimeType" "$(key MimeType)" "$mime_type;"
icon=$(key Icon)
if [ "$icon" = "$app_id" ] && [ -f "$res/icons/hicolor/scalable/apps/$icon.svg" ]; then
  pass "Icon=$icon is shipped"
else
  fail "Icon '$icon' is not ours or not shipped"
fi

# --- the MIME package ---------------------------------------------------------------
if xmllint --noout "$mime_xml"; then pass "MIME package is well-formed"; else fail "MIME package is not well-formed"; fi

# shared-mime-info carries its DTD inside its own package file; take it from there.
sed -n '/<!DOCTYPE mime-info \[/,/^\]>/p' /usr/share/mime/packages/freedesktop.org.xml \
  | sed '1d;$d' >"$work/mime-info.dtd"
if [ ! -s "$work/mime-info.dtd" ]; then
  fail "no DTD found in /usr/share/mime/packages/freedesktop.org.xml"
elif xmllint --noout --dtdvalid "$work/mime-info.dtd" "$mime_xml"; then
  pass "MIME package is valid against the shared-mime-info DTD"
else
  fail "MIME package is not valid against the shared-mime-info DTD"
fi

mkdir -p "$work/share/mime/packages"
cp "$mime_xml" "$work/share/mime/packages/"
if update-mime-database "$work/share/mime" 2>"$work/umd.log"; then
  pass "update-mime-database compiles it"
else
  fail "update-mime-database: $(cat "$work/umd.log")"
fi
# globs2 lines are weight:type:pattern[:flags]; a "cs" flag would make the glob case-sensitive.
qva_globs=$(grep -i 'qva' "$work/share/mime/globs2" || true)
if grep -qx "50:$mime_type:\*\.qva" <<<"$qva_globs" && ! grep -q ':cs' <<<"$qva_globs"; then
  pass "globs2 has *.qva, not case-sensitive"
else
  fail "globs2 lacks a plain, case-insensitive '*.qva' glob: $qva_globs"
fi
if grep -qx "$mime_type application/vnd.sqlite3" "$work/share/mime/subclasses"; then
  pass "it is a subclass of application/vnd.sqlite3"
else
  fail "subclasses lacks '$mime_type application/vnd.sqlite3'"
fi

# What a file manager would say, through GIO, with only this private database and the system one.
printf 'SQLite format 3\0' >"$work/Summer.QVA"
printf 'SQLite format 3\0' >"$work/winter.qva"
if guessed=$(XDG_DATA_HOME="$work/share" XDG_DATA_DIRS=/usr/share "$python" -I - "$work" "$mime_type" <<'PY'
import sys
from gi.repository import Gio
folder, wanted = sys.argv[1], sys.argv[2]
ok = True
for name in ("Summer.QVA", "winter.qva"):
    with open(f"{folder}/{name}", "rb") as f:
        kind, _ = Gio.content_type_guess(f"{folder}/{name}", f.read())
    print(f"{name} -> {kind}")
    ok = ok and kind == wanted
ok = ok and Gio.content_type_is_a(wanted, "application/vnd.sqlite3")
print(f"description: {Gio.content_type_get_description(wanted)}")
ok = ok and Gio.content_type_get_description(wanted) == "Quorvanta album"
sys.exit(0 if ok else 1)
PY
); then
  pass "GIO recognises the album type (${guessed//$'\n'/, })"
else
  fail "GIO does not recognise the album type: $guessed"
fi

# --- icons --------------------------------------------------------------------------
pngs=0
while IFS= read -r png; do
  want=$(basename "$(dirname "$(dirname "$png")")")      # e.g. 48x48
  got=$(identify -format '%wx%h' "$png")
  [ "$got" = "$want" ] || fail "$png is $got, not $want"
  pngs=$((pngs + 1))
done < <(find "$res/icons/hicolor" -name '*.png' | sort)
expect "hicolor PNGs checked" "$pngs" 12
expect "window icon size" "$(identify -format '%wx%h' "$res/icon/v2022_Icon_repair.png")" 80x80

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all desktop file checks passed"
