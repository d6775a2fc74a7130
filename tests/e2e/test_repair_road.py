"""The whole road of a repair, as a person with a screen reader goes it.

Starts the real program with no album, its own TMPDIR and the private HOME of run_e2e.sh, then:
- drags a damaged album from a file-manager-like helper window onto the tool's window with
  the mouse (a real X drag and drop);
- reads the verdict through the accessibility bus: "Album Corrupted - " and the first row
  of SQLite's integrity check of (a copy of) the album; "Try to Repair" usable;
- presses "Try to Repair"; the save dialog "Select Output Album" opens in the album's folder
  with the name "<album stem>_repaired.qva" in its file-name field (labelled "Prompt");
- types "rebuilt album" (no extension) into that field with the keyboard and presses the
  dialog's "Repair" button;
- waits for the message box "Album Database Structure Repaired" and dismisses it with OK;
  the "Repair Status:" line then reads "Album Database Structure Repaired" and "Try to
  Repair" is usable again; every text the line showed on the way is one of the repair's
  stage texts, in the repair's order;
- on disk: "rebuilt album.qva" (".qva" added) beside the album and nothing else new; it
  passes the integrity check and holds the same tables, indexes and rows as an album built
  by hand with the same steps (sqlite3 .dump of a copy, the transaction lines rewritten,
  sqlite3 fed the result); the album byte for byte as before; the program's TMPDIR empty and
  the private Desktop unchanged;
- File > Quit ends the program with status 0.
Leaves a picture of the window with its verdict at <build dir>/e2e_repair.png.

    run_e2e.sh test_repair_road.py BINARY
"""

import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile

import atspi_driver as d
from e2e_albums import (DROP_HINT, REPAIR, check_button_usable, check_status,
                        describe_windows, first_integrity_row, folder_contents, main_windows,
                        make_damaged_album, repair_status_line, shown_windows)

DIALOG_TITLE = "Select Output Album"
REPAIRED = "Album Database Structure Repaired"
# The texts of the "Repair Status:" line while a repair runs, in their order.
STAGES = ("Dumping Contents... ", "Checking dumped data...", "Building New Album... ")
TYPED_NAME = "rebuilt album"          # typed without its extension
EXPECTED_NAME = "rebuilt album.qva"   # what the dialog makes of it


# --- what the window shows ------------------------------------------------------------------

def message_box_with(app, message):
    """The message box now on screen whose label reads message, or None."""
    for window in shown_windows(app):
        if d.role(window) in d.DIALOG_ROLES and d.find_all(window, role="label", name=message):
            return window
    return None


def look_in_box(dialog):
    """The save dialog's folder box: the combo box that follows its "Look in:" label."""
    d.find(dialog, role="label", name="Look in:")
    parts = d.children(dialog)
    names = [(d.role(p), d.name(p)) for p in parts]
    after = names.index(("label", "Look in:")) + 1
    assert after < len(parts) and d.role(parts[after]) == "combo box", \
        f"no folder box after 'Look in:':\n{d.dump(dialog)}"
    return parts[after]


# --- the album built by hand ----------------------------------------------------------------

def rewrite_dump(data):
    """The dump with its opening transaction line emptied and its roll-back line turned into
    a commit, line by line."""
    lines = data.split(b"\n")
    out = []
    for line in lines:
        bare = line[:-1] if line.endswith(b"\r") else line
        if bare == b"BEGIN TRANSACTION;":
            out.append(b"")
        elif bare == b"ROLLBACK; -- due to errors":
            out.append(b"COMMIT;")
        else:
            out.append(line)
    return b"\n".join(out)


def build_by_hand(album, folder):
    """Builds a new album from a copy of album with the sqlite3 shell, in folder."""
    copy = os.path.join(folder, "copy.qva")
    shutil.copyfile(album, copy)
    dump = subprocess.run(["sqlite3", copy, ".dump"], capture_output=True, timeout=60)
    assert dump.stdout, f"sqlite3 dumped nothing: {dump.stderr!r}"
    cleaned = os.path.join(folder, "cleaned.sql")
    with open(cleaned, "wb") as f:
        f.write(rewrite_dump(dump.stdout))
    rebuilt = os.path.join(folder, "by hand.qva")
    with open(cleaned, "rb") as f:
        subprocess.run(["sqlite3", rebuilt], stdin=f, capture_output=True, timeout=60)
    return rebuilt


def album_contents(path):
    """(names of tables and indexes, {table: row count}, {table: rows}) of a sound album."""
    connection = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    try:
        (verdict,) = connection.execute("PRAGMA integrity_check").fetchone()
        assert verdict == "ok", f"{path} fails the integrity check: {verdict!r}"
        objects = sorted(connection.execute(
            "SELECT type, name FROM sqlite_master WHERE type IN ('table', 'index')").fetchall())
        tables = [n for t, n in objects if t == "table"]
        counts, rows = {}, {}
        for table in tables:
            quoted = '"' + table.replace('"', '""') + '"'
            (counts[table],) = connection.execute(f"SELECT count(*) FROM {quoted}").fetchone()
            rows[table] = sorted(connection.execute(f"SELECT * FROM {quoted}").fetchall(),
                                 key=repr)
        return objects, counts, rows
    finally:
        connection.close()


# --- the test -------------------------------------------------------------------------------

def main():
    binary = sys.argv[1]
    build_dir = os.path.dirname(os.path.dirname(os.path.abspath(binary)))
    picture = os.path.join(build_dir, "e2e_repair.png")

    work = tempfile.mkdtemp(prefix="repair-")
    album_folder = os.path.join(work, "Jo's albums")
    program_tmp = os.path.join(work, "program tmp")
    by_hand_folder = os.path.join(work, "by hand")
    for folder in (album_folder, program_tmp, by_hand_folder):
        os.makedirs(folder)
    desktop = os.path.join(os.environ["HOME"], "Desktop")
    os.makedirs(desktop, exist_ok=True)

    album = os.path.join(album_folder, "Wedding 2019.qva")
    make_damaged_album(album)
    finding = first_integrity_row(album)
    assert finding.lower() != "ok", "the damage left the album sound"
    before = folder_contents(album_folder)
    desktop_before = folder_contents(desktop)
    output = os.path.join(album_folder, EXPECTED_NAME)

    try:
        with d.App.start(binary, env={"TMPDIR": program_tmp}, cwd=work) as app:
            (window,) = main_windows(app, 1)
            assert len(shown_windows(app)) == 1, \
                f"wanted one window and nothing else:\n{describe_windows(app)}"
            check_status(window, "")
            check_button_usable(window, REPAIR, usable=False)

            # A real drag: from the helper window onto the window's drop hint.
            hint = d.find(window, role="label", name=DROP_HINT)
            d.drag_file(album, hint)
            d.find(window, role="label", name=os.path.basename(album))
            d.wait_until(lambda: d.find_all(window, role="text",
                                            text=lambda t: t.startswith("Album Corrupted")),
                         what="the verdict on the dropped album",
                         describe=lambda: d.dump(window))
            check_status(window, "Album Corrupted - " + finding)
            check_button_usable(window, REPAIR, usable=True)
            status_line = repair_status_line(window)
            assert d.text(status_line) == "", \
                f"the repair line reads {d.text(status_line)!r} before any repair"

            d.screenshot(picture, window)
            print(f"picture of the window with its verdict: {picture}")

            # The save dialog.
            d.press(d.find(window, role="push button", name=REPAIR))
            dialog = app.wait_for_dialog(DIALOG_TITLE)
            look_in = look_in_box(dialog)
            shown_folder = d.name(look_in)
            assert os.path.realpath(shown_folder) == os.path.realpath(album_folder), \
                f"the dialog opened in {shown_folder!r}, not in {album_folder!r}"
            field = d.find(dialog, role="text", name="Prompt")
            suggested = d.text(field)
            assert suggested == "Wedding 2019_repaired.qva", \
                f"the dialog suggests {suggested!r}"
            accept = d.find(dialog, role="push button", name="Repair")

            # Typed with the keyboard, as a person would.
            d.focus(field)
            d.key("ctrl+a")
            d.type_keys(TYPED_NAME)
            d.wait_until(lambda: d.text(field) == TYPED_NAME,
                         what=f"the file-name field to read {TYPED_NAME!r}",
                         describe=lambda: f"it reads {d.text(field)!r}")
            d.press(accept)
            app.wait_window_gone(dialog)

            # The repair runs; the repair line is read on the way, whenever the program
            # answers (while it waits it answers one request per half second or so; a
            # label's name is its text: one request).
            seen = []

            def finished():
                try:
                    now = d.name(status_line)
                except d.GLib.Error:  # busy for a moment: not yet
                    now = None
                if now is not None and (not seen or seen[-1] != now):
                    seen.append(now)
                return message_box_with(app, REPAIRED)
            box = d.wait_until(finished, what=f"the message box {REPAIRED!r}",
                               describe=lambda: describe_windows(app)
                               + f"\nrepair line texts seen: {seen}\nstderr:\n{app.stderr()}")
            print(f"repair line texts seen: {seen}")
            order = list(STAGES) + [REPAIRED]
            shown = [t for t in seen if t != ""]
            assert all(t in order for t in shown), f"unexpected repair line texts: {seen}"
            positions = [order.index(t) for t in shown]
            assert positions == sorted(positions), f"the stages came out of order: {seen}"

            d.press(d.find(box, role="push button", name="OK"))
            app.wait_window_gone(box)

            d.wait_until(lambda: d.text(status_line) == REPAIRED,
                         what=f"the repair line to read {REPAIRED!r}",
                         describe=lambda: f"it reads {d.text(status_line)!r}")
            d.wait_until(lambda: "Press" in d.actions(d.find(window, role="push button",
                                                              name=REPAIR)),
                         what=f"{REPAIR!r} to be usable again", describe=lambda: d.dump(window))
            check_button_usable(window, REPAIR, usable=True)
            assert len(shown_windows(app)) == 1, \
                f"windows left over after the repair:\n{describe_windows(app)}"
            # The album's verdict stays as it was: the album itself was not touched.
            check_status(window, "Album Corrupted - " + finding)

            # The new album, against one built by hand.
            assert os.path.isfile(output), \
                f"no {EXPECTED_NAME!r} in the album folder: {sorted(os.listdir(album_folder))}"
            by_hand = build_by_hand(album, by_hand_folder)
            objects, counts, rows = album_contents(output)
            hand_objects, hand_counts, hand_rows = album_contents(by_hand)
            assert objects == hand_objects, \
                f"the rebuilt album holds {objects}, the one built by hand {hand_objects}"
            assert counts == hand_counts, \
                f"rows per table: rebuilt {counts}, built by hand {hand_counts}"
            assert rows == hand_rows, "the rebuilt album's rows differ from those built by hand"
            assert counts and all(c > 0 for c in counts.values()), f"empty tables: {counts}"
            print(f"rebuilt album: {objects}, rows {counts}")

            app.choose_menu(window, "File", "Quit")
            app.expect_exit(0)
    finally:
        after = folder_contents(album_folder)
        assert before[os.path.basename(album)] == after.get(os.path.basename(album)), \
            "the album changed"
        new = sorted(set(after) - set(before))
        assert new in ([], [EXPECTED_NAME]), f"new in the album folder: {new}"

    assert os.path.basename(output) in after, "the rebuilt album is gone"
    leftovers = [os.path.relpath(os.path.join(parent, n), program_tmp)
                 for parent, dirs, files in os.walk(program_tmp) for n in dirs + files]
    assert not leftovers, f"the program left {leftovers} in its TMPDIR"
    desktop_after = folder_contents(desktop)
    assert desktop_after == desktop_before, \
        f"the Desktop changed: was {sorted(desktop_before)}, now {sorted(desktop_after)}"
    shutil.rmtree(work)
    print("ok")


if __name__ == "__main__":
    main()
