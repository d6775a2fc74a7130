"""Quitting while a repair waits for the sqlite3 shell.

A stand-in `sqlite3` stands first on the program's PATH: asked for a dump, it starts
`sleep 60` in the background, writes its own process id and the sleep's into a file and
waits for the sleep (a dump that does not end on its own); asked anything else, it hands
over to the real sqlite3. Once per way of quitting:
- starts the real program with a damaged album on its command line, its own TMPDIR;
- presses "Try to Repair" in the album's window and accepts the save dialog's suggestion
  ("<album stem>_repaired.qva" in the album's folder) with its "Repair" button;
- once the stand-in runs and the "Repair Status:" line reads "Dumping Contents... ":
  a) presses the window's "Quit" button, or
  b) closes the album's window as a window manager does (WM_DELETE_WINDOW), or
  c) sends the program SIGTERM, as `kill` and the end of a session do, or
  d) SIGINT, as Ctrl+C in a terminal does;
- the program ends with status 0, or after a signal dies by that signal, as a shell
  expects (a script's loop over albums then stops too); a time-out far below the sleep's
  60 s catches a program that waits for the dump;
- both recorded processes are gone (or zombies waiting for their parent);
- the program's TMPDIR is empty, the album is byte for byte as before, and the album's
  folder holds nothing else: no output album (the rebuild never started).

    run_e2e.sh test_quit_mid_repair.py BINARY
"""

import ctypes
import ctypes.util
import os
import shutil
import signal
import sys
import tempfile

import atspi_driver as d
from e2e_albums import (REPAIR, check_button_usable, check_status, everything_under,
                        first_integrity_row, folder_contents, gone_or_zombie, main_windows, make_damaged_album,
                        process_state, read_pids, repair_status_line, shell_quote, spread_out,
                        window_showing_label)

DIALOG_TITLE = "Select Output Album"
DUMPING = "Dumping Contents... "
# Far below the stand-in's 60 s: a program that waits for the dump to end fails here.
EXIT_TIMEOUT = 15
# Each way of quitting, and the signal that it sends (None: a quit from the window).
WAYS = {"quit": None, "close": None, "term": signal.SIGTERM, "int": signal.SIGINT}

STAND_IN = """#!/bin/sh
# Stand-in for sqlite3 in an end-to-end test: a dump that never ends on its own.
printf '%s\\n' "$*" >> {calls}
if [ "$3" = ".dump" ]; then
  sleep 60 &
  echo "$$ $!" > {pids}.new
  mv {pids}.new {pids}
  wait
  exit 0
fi
exec {real} "$@"
"""


def write_stand_in(folder, real, pids, calls):
    path = os.path.join(folder, "sqlite3")
    with open(path, "w", encoding="utf-8") as f:
        f.write(STAND_IN.format(real=shell_quote(real), pids=shell_quote(pids),
                                calls=shell_quote(calls)))
    os.chmod(path, 0o755)


# --- closing a window as a window manager does ----------------------------------------------

class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


def close_window(window_id):
    """Asks the X window to close (WM_DELETE_WINDOW), as a click on its close button does."""
    library = ctypes.util.find_library("X11")
    assert library, "libX11 is not there"
    x = ctypes.CDLL(library)
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                             ctypes.POINTER(_Event)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(None)
    assert display, "cannot open the X display"
    try:
        event = _Event()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window_id
        event.xclient.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        assert x.XSendEvent(display, window_id, 0, 0, ctypes.byref(event)), "XSendEvent failed"
        x.XFlush(display)
    finally:
        x.XCloseDisplay(display)


# --- the test -------------------------------------------------------------------------------

def quit_mid_repair(binary, real_sqlite, how):
    work = tempfile.mkdtemp(prefix=f"quit-{how}-")
    album_folder = os.path.join(work, "old albums")
    program_tmp = os.path.join(work, "program tmp")
    tools = os.path.join(work, "tools")
    for folder in (album_folder, program_tmp, tools):
        os.makedirs(folder)
    pid_file = os.path.join(work, "stand-in pids")
    calls = os.path.join(work, "stand-in calls")
    write_stand_in(tools, real_sqlite, pid_file, calls)

    album = os.path.join(album_folder, "Wedding 2019.qva")
    make_damaged_album(album)
    finding = first_integrity_row(album)
    before = folder_contents(album_folder)
    environment = {"TMPDIR": program_tmp, "PATH": tools + os.pathsep + os.environ["PATH"]}

    try:
        with d.App.start(binary, album, env=environment, cwd=work) as app:
            windows = main_windows(app, 2)
            window = window_showing_label(windows, os.path.basename(album))
            check_status(window, "Album Corrupted - " + finding)
            check_button_usable(window, REPAIR, usable=True)
            if how == "close":
                x_ids = spread_out(app, windows)
                x_window = int(x_ids[windows.index(window)])
            # Looked up now: while the program waits for sqlite3 it answers the accessibility
            # bus only between its half-second pauses, one request at a time.
            status_line = repair_status_line(window)
            quit_button = d.find(window, role="push button", name="Quit")
            press_quit = d.actions(quit_button).index("Press")

            d.press(d.find(window, role="push button", name=REPAIR))
            dialog = app.wait_for_dialog(DIALOG_TITLE)
            field = d.find(dialog, role="text", name="Prompt")
            assert d.text(field) == "Wedding 2019_repaired.qva", \
                f"the dialog suggests {d.text(field)!r}"
            d.press(d.find(dialog, role="push button", name="Repair"))
            app.wait_window_gone(dialog)

            pids = d.wait_until(lambda: read_pids(pid_file), what="the stand-in's dump to start",
                                describe=lambda: f"stderr:\n{app.stderr()}")
            started = {pid: process_state(pid) for pid in pids}
            assert all(started.values()), f"the stand-in's processes already ended: {started}"
            # A label's name is its text: one request.
            d.wait_until(lambda: d.name(status_line) == DUMPING,
                         what=f"the repair line to read {DUMPING!r}",
                         describe=lambda: f"it reads {d.name(status_line)!r}")
            assert app.process.poll() is None, "the program ended by itself"

            if how == "quit":
                # The action's number was asked for beforehand (d.press would ask again: a
                # dozen and more requests, each waiting for one of the program's pauses).
                assert d.Atspi.Action.do_action(quit_button, press_quit), \
                    "the press on 'Quit' was refused"
            elif how == "close":
                close_window(x_window)
            else:
                os.kill(app.process.pid, WAYS[how])
            # Popen gives a death by signal N as -N.
            status = -WAYS[how] if WAYS[how] else 0
            app.expect_exit(status, timeout=EXIT_TIMEOUT)
            print(f"{how}: the program ended with status {status}")

            print(f"{how}: the stand-in's processes {pids} afterwards: "
                  f"{[process_state(pid) or 'gone' for pid in pids]}")
            left = [pid for pid in pids if not gone_or_zombie(pid, started[pid][1])]
            assert not left, f"{how}: the stand-in's processes {left} still run " \
                             f"(states {[process_state(p) for p in left]})"
    finally:
        after = folder_contents(album_folder)
        print(f"{how}: the album folder holds {sorted(after)}")
        assert after.get(os.path.basename(album)) == before[os.path.basename(album)], \
            f"{how}: the album changed"

    with open(calls, encoding="utf-8") as f:
        called = f.read().splitlines()
    print(f"{how}: sqlite3 was called with: {called}")
    assert len(called) == 1 and called[0].endswith(" .dump"), \
        f"{how}: sqlite3 was called for more than the dump: {called}"
    output = os.path.join(album_folder, "Wedding 2019_repaired.qva")
    print(f"{how}: the suggested output {'exists' if os.path.exists(output) else 'does not exist'}")
    assert sorted(after) == sorted(before), \
        f"{how}: the album folder changed: was {sorted(before)}, now {sorted(after)}"
    leftovers = everything_under(program_tmp)
    assert not leftovers, f"{how}: the program left {leftovers} in its TMPDIR"
    shutil.rmtree(work)


def main():
    binary = sys.argv[1]
    real_sqlite = shutil.which("sqlite3")
    assert real_sqlite, "no sqlite3 on PATH"
    # The program starts with the signals at their defaults, as from a terminal's shell
    # (run_e2e.sh runs this script as a background job, which ignores SIGINT).
    for way in WAYS.values():
        if way:
            signal.signal(way, signal.SIG_DFL)
    for how in WAYS:
        quit_mid_repair(binary, real_sqlite, how)
    print("ok")


if __name__ == "__main__":
    main()
