"""The end of a session: the X server goes away without a signal first.

Qt's X11 plug-in then says "The X11 connection broke" and calls exit(1). Per case, the test
starts an X server of its own, the real program on it with a damaged album (accessibility
on, as run_e2e.sh sets it up), and ends that X server:
- rebuild: during the rebuild of a repair with the suggested output. A stand-in `sqlite3`
  hands the dump to the real one; for the rebuild it feeds the real one the dump and then
  a transaction that never ends, and writes down its own and the real one's process ids;
- idle: nothing under way.
The program must end with status 1, not by SIGSEGV; the recorded processes must be gone,
the album's folder must hold the album alone, unchanged (no half-built album, no journal),
and the program's TMPDIR must be empty (no dumps).

    run_e2e.sh test_session_end.py BINARY
"""

import contextlib
import os
import shutil
import subprocess
import sys
import tempfile

import atspi_driver as d
from e2e_albums import (REPAIR, everything_under, folder_contents, gone_or_zombie, main_windows,
                        make_damaged_album, process_state, read_pids, repair_status_line,
                        shell_quote, window_showing_label)

BUILDING = "Building New Album... "
EXIT_TIMEOUT = 15
CASES = ("rebuild", "idle")

STAND_IN = """#!/bin/sh
# Stand-in for sqlite3 in an end-to-end test: a rebuild that never ends on its own.
if [ "$3" = ".dump" ]; then
  exec {real} "$@"
fi
exec 3<&0  # the dump: a background job would read /dev/null
{{ cat <&3; echo "BEGIN;"
   while :; do echo "INSERT INTO photos (title, taken) VALUES ('late', 'never');"; sleep 0.1; done
}} | {real} "$@" &
echo "$$ $!" > {pids}.new
mv {pids}.new {pids}
wait
"""


@contextlib.contextmanager
def own_x_server():
    """An X server of this test's own, on a free display; yields its name (":N")."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp"], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        with os.fdopen(read_end, "rb") as answer:
            number = answer.readline().strip()
        assert number, "the X server gave no display number"
        yield server, ":" + number.decode()
    finally:
        if server.poll() is None:
            server.kill()
        server.wait()


def start_rebuild(app, window, work, pid_file):
    """Starts the repair with the suggested output and waits until the rebuild writes."""
    status_line = repair_status_line(window)
    d.press(d.find(window, role="push button", name=REPAIR))
    dialog = app.wait_for_dialog("Select Output Album")
    d.press(d.find(dialog, role="push button", name="Repair"))
    app.wait_window_gone(dialog)
    pids = d.wait_until(lambda: read_pids(pid_file), what="the stand-in's rebuild to start",
                        describe=lambda: f"stderr:\n{app.stderr()}")
    journal = os.path.join(work, "albums", "Wedding 2019_repaired.qva-journal")
    d.wait_until(lambda: os.path.exists(journal), what="the new album's journal")
    d.wait_until(lambda: d.name(status_line) == BUILDING,
                 what=f"the repair line to read {BUILDING!r}", describe=lambda: f"it reads {d.name(status_line)!r}")
    started = {pid: process_state(pid) for pid in pids}
    assert all(started.values()), f"the stand-in's processes already ended: {started}"
    return started


def session_end(binary, real_sqlite, case):
    work = tempfile.mkdtemp(prefix=f"session-{case}-")
    albums, program_tmp, tools = (os.path.join(work, name) for name in ("albums", "tmp", "tools"))
    for folder in (albums, program_tmp, tools):
        os.makedirs(folder)
    pid_file = os.path.join(work, "stand-in pids")
    with open(os.path.join(tools, "sqlite3"), "w", encoding="utf-8") as f:
        f.write(STAND_IN.format(real=shell_quote(real_sqlite), pids=shell_quote(pid_file)))
    os.chmod(os.path.join(tools, "sqlite3"), 0o755)
    album = os.path.join(albums, "Wedding 2019.qva")
    make_damaged_album(album)
    before = folder_contents(albums)

    started = {}
    with own_x_server() as (server, display):
        environment = {"DISPLAY": display, "TMPDIR": program_tmp,
                       "PATH": tools + os.pathsep + os.environ["PATH"]}
        with d.App.start(binary, album, env=environment, cwd=work) as app:
            window = window_showing_label(main_windows(app, 2), os.path.basename(album))
            if case == "rebuild":
                started = start_rebuild(app, window, work, pid_file)
            server.terminate()
            status = app.wait_exit(EXIT_TIMEOUT)
            print(f"{case}: the program ended with status {status}")
            assert status == 1, f"{case}: exit status {status}, wanted 1\nstderr:\n{app.stderr()}"
            assert "The X11 connection broke" in app.stderr(), app.stderr()

    left = [pid for pid, state in started.items() if not gone_or_zombie(pid, state[1])]
    assert not left, f"{case}: the rebuild's processes {left} still run"
    after = folder_contents(albums)
    print(f"{case}: the album folder holds {sorted(after)}")
    assert after == before, f"{case}: the album folder changed: now {sorted(after)}"
    leftovers = everything_under(program_tmp)
    assert not leftovers, f"{case}: the program left {leftovers} in its TMPDIR"
    shutil.rmtree(work)


def main():
    binary = sys.argv[1]
    real_sqlite = shutil.which("sqlite3")
    assert real_sqlite, "no sqlite3 on PATH"
    for case in CASES:
        session_end(binary, real_sqlite, case)
    print("ok")


if __name__ == "__main__":
    main()
