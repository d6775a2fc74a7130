"""What the end-to-end tests share: the albums they make (sound and damaged), the look at
folders before and after, the processes that stand-in commands record, and finding the
tool's windows and reading them through the accessibility bus.

    import e2e_albums as a

    a.make_damaged_album(path)
    finding = a.first_integrity_row(path)
    window = a.main_windows(app, 1)[0]
    a.check_status(window, "Album Corrupted - " + finding)
"""

import os
import shutil
import sqlite3
import struct
import subprocess
import tempfile

import atspi_driver as d

TITLE = "Quorvanta Album Repair Tool"  # a version number may follow
DROP_HINT = "Drop Album File to be repaired into this window"
REPAIR = "Try to Repair"


# --- the albums -----------------------------------------------------------------------------

def make_sound_album(path, rows=200):
    """An album with a table of photos, an index on their titles and `rows` rows."""
    connection = sqlite3.connect(path)
    try:
        connection.execute("PRAGMA journal_mode=DELETE")
        connection.execute("CREATE TABLE photos (id INTEGER PRIMARY KEY, title TEXT NOT NULL, "
                           "taken TEXT NOT NULL)")
        connection.execute("CREATE INDEX photos_by_title ON photos (title)")
        connection.executemany(
            "INSERT INTO photos (title, taken) VALUES (?, ?)",
            [(f"Photo {i:04d} of the lake shore at dawn", f"2019-06-{1 + i % 28:02d} 07:{i % 60:02d}")
             for i in range(rows)])
        connection.commit()
    finally:
        connection.close()


def index_first_leaf_page(path, index_name):
    """The page number of the leftmost leaf page of the index, and the page size."""
    connection = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    try:
        (root,) = connection.execute("SELECT rootpage FROM sqlite_master WHERE name = ?",
                                     (index_name,)).fetchone()
        (page_size,) = connection.execute("PRAGMA page_size").fetchone()
    finally:
        connection.close()
    with open(path, "rb") as f:
        data = f.read()
    page = root
    while True:
        start = (page - 1) * page_size
        header = start + (100 if page == 1 else 0)
        kind = data[header]
        if kind == 0x0A:  # index leaf page
            return page, page_size
        if kind != 0x02:  # anything but an index interior page
            raise AssertionError(f"page {page} of {path} is no index page (type {kind:#x})")
        # The first cell of an interior page starts with the number of its left child.
        (first_cell,) = struct.unpack_from(">H", data, header + 12)
        (page,) = struct.unpack_from(">I", data, start + first_cell)


def make_damaged_album(path):
    """A sound album whose index is then damaged: the 1000 bytes in the middle of the first
    leaf page of the index photos_by_title (its cells' content) are overwritten with zero
    bytes, as a wiped disk block would leave them; the table and the schema are left alone.
    PRAGMA integrity_check then lists findings about that page (rather than failing)."""
    make_sound_album(path)
    leaf, page_size = index_first_leaf_page(path, "photos_by_title")
    with open(path, "r+b") as f:
        f.seek((leaf - 1) * page_size + page_size // 2 - 500)
        f.write(bytes(1000))


def first_integrity_row(path):
    """The first row of PRAGMA integrity_check for the album at path, read from a copy of it
    in a folder of its own (so that nothing beside the album is touched)."""
    folder = tempfile.mkdtemp(prefix="check-")
    try:
        copy = os.path.join(folder, "copy.qva")
        shutil.copyfile(path, copy)
        connection = sqlite3.connect(copy)
        try:
            row = connection.execute("PRAGMA integrity_check").fetchone()
        finally:
            connection.close()
        return row[0]
    finally:
        shutil.rmtree(folder)


def folder_contents(folder):
    """Every file under folder, by path relative to it, with its bytes."""
    contents = {}
    for parent, _, files in os.walk(folder):
        for file_name in files:
            path = os.path.join(parent, file_name)
            with open(path, "rb") as f:
                contents[os.path.relpath(path, folder)] = f.read()
    return contents


def everything_under(folder):
    """The path of every file and folder under folder, relative to it."""
    return sorted(os.path.relpath(os.path.join(parent, name), folder)
                  for parent, dirs, files in os.walk(folder) for name in dirs + files)


# --- processes ------------------------------------------------------------------------------

def process_state(pid):
    """(state letter, start time) of process pid from /proc, or None when there is none."""
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii", errors="replace") as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except (FileNotFoundError, ProcessLookupError, IndexError):
        return None
    return fields[0], fields[19]


def gone_or_zombie(pid, started):
    """Whether the process that had start time `started` has ended (a zombie counts: it has
    ended and waits for its parent; another process with the same id counts too)."""
    now = process_state(pid)
    return now is None or now[0] in ("Z", "X") or now[1] != started


def read_pids(path):
    """The two process ids that a stand-in wrote into the file at path, or None while
    there are not two."""
    try:
        with open(path, encoding="ascii") as f:
            words = f.read().split()
    except FileNotFoundError:
        return None
    return [int(w) for w in words] if len(words) == 2 else None


def shell_quote(text):
    """text as one word for /bin/sh."""
    return "'" + text.replace("'", "'\\''") + "'"


# --- the windows ----------------------------------------------------------------------------

def shown_windows(app):
    """The program's top-level windows now on screen."""
    return [w for w in app.windows() if d.role(w) in d.WINDOW_ROLES and d.is_showing(w)]


def describe_windows(app):
    return "windows:\n" + "\n".join(d.dump(w) for w in shown_windows(app))


def main_windows(app, count):
    """Waits until `count` main windows of the tool are on screen and returns them."""
    def enough():
        windows = [w for w in shown_windows(app)
                   if d.role(w) == "frame" and d.name(w).startswith(TITLE)]
        return windows if len(windows) >= count else None
    return d.wait_until(enough, what=f"{count} windows titled {TITLE!r}...",
                        describe=lambda: describe_windows(app) + f"\nstderr:\n{app.stderr()}")


def window_showing_label(windows, label):
    """The one window among windows with a label reading `label`."""
    matches = [w for w in windows if d.find_all(w, role="label", name=label)]
    assert len(matches) == 1, (f"{len(matches)} windows show the label {label!r}:\n"
                               + "\n".join(d.dump(w) for w in windows))
    return matches[0]


def status_area(window):
    """The window's one text area (the album's condition)."""
    areas = d.find_all(window, role="text")
    assert len(areas) == 1, f"{len(areas)} text areas in the window:\n{d.dump(window)}"
    area = areas[0]
    assert "read-only" in d.states(area), \
        f"the status area is editable: {sorted(d.states(area))}"
    assert "multi-line" in d.states(area), \
        f"the status area is not multi-line: {sorted(d.states(area))}"
    return area


def check_button_usable(window, caption, usable):
    button = d.find(window, role="push button", name=caption)
    now = d.states(button)
    offered = d.actions(button)
    if usable:
        assert "enabled" in now and "sensitive" in now and "Press" in offered, \
            f"{caption!r} should be usable: states {sorted(now)}, actions {offered}"
    else:
        assert "enabled" not in now and "Press" not in offered, \
            f"{caption!r} should be disabled: states {sorted(now)}, actions {offered}"


def check_status(window, expected):
    area = status_area(window)
    shown = d.text(area)
    assert shown == expected, f"status area holds {shown!r}, wanted {expected!r}"


def spread_out(app, windows):
    """Moves the program's X windows apart (without a window manager they all open at the
    top left, one over the other) and waits until the accessibility bus reports the new
    places, so that each window can be photographed on its own. Returns the X window ids,
    in the order of `windows`."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(app.pid),
                            "--name", "^" + TITLE],
                           capture_output=True, text=True, timeout=60)
    ids = found.stdout.split()
    assert len(ids) == len(windows), \
        f"X shows {len(ids)} windows of the program, the accessibility bus {len(windows)}"
    places = [(0, 0), (640, 0), (0, 500)]
    for window_id, (x, y) in zip(ids, places):
        subprocess.run(["xdotool", "windowmove", "--sync", window_id, str(x), str(y)],
                       check=True, timeout=60)

    def apart():
        boxes = [d.extents(w) for w in windows]
        for i, (ax, ay, aw, ah) in enumerate(boxes):
            for bx, by, bw, bh in boxes[i + 1:]:
                if ax < bx + bw and bx < ax + aw and ay < by + bh and by < ay + ah:
                    return False
        return True
    d.wait_until(apart, what="the windows to stand apart",
                 describe=lambda: f"places: {[d.extents(w) for w in windows]}")

    # Each window is now where one X window was sent.
    placed = dict(zip(places, ids))
    ordered = []
    for window in windows:
        x, y, _, _ = d.extents(window)
        assert (x, y) in placed, f"a window stands at {(x, y)}, none was sent there: {placed}"
        ordered.append(placed[(x, y)])
    return ordered


def repair_status_line(window):
    """The label that follows "Repair Status:" on its line (found by its place, as the eye
    finds it: it has no name of its own and is empty before a repair)."""
    caption = d.find(window, role="label", name="Repair Status:")
    cx, cy, cw, ch = d.extents(caption)
    middle = cy + ch // 2
    candidates = []
    for label in d.find_all(window, role="label"):
        if label == caption:
            continue
        x, y, w, h = d.extents(label)
        if y <= middle < y + h and x >= cx + cw:
            candidates.append((x, label))
    assert candidates, f"nothing beside 'Repair Status:':\n{d.dump(window)}"
    return min(candidates, key=lambda c: c[0])[1]
