"""File > Quit's key with the two windows that a launch with an album opens.

Once for each window: starts the real program with a damaged album (the empty window and
the album's window), moves the windows apart, clicks into the one window and presses
Ctrl+Q with xdotool. The program must end with status 0 and leave the album as it was.

    run_e2e.sh test_quit_key.py BINARY
"""

import os
import shutil
import sys
import tempfile

import atspi_driver as d
from e2e_albums import (DROP_HINT, main_windows, make_damaged_album, spread_out,
                        window_showing_label)


def main():
    binary = sys.argv[1]
    work = tempfile.mkdtemp(prefix="quit-key-")
    album = os.path.join(work, "Wedding 2019.qva")
    make_damaged_album(album)
    with open(album, "rb") as f:
        before = f.read()

    for label in (DROP_HINT, os.path.basename(album)):
        with d.App.start(binary, album) as app:
            windows = main_windows(app, 2)
            spread_out(app, windows)
            window = window_showing_label(windows, label)
            d.click(d.find(window, role="label", name="Album Condition:"))
            d.wait_until(lambda: "active" in d.states(window), what=f"{label!r} window active")
            d.key("ctrl+q")
            d.wait_until(lambda: app.process.poll() is not None, 10, "the quit after Ctrl+Q",
                         describe=lambda: f"in the {label!r} window; stderr:\n{app.stderr()}")
            app.expect_exit(0)
        with open(album, "rb") as f:
            assert f.read() == before, "the album changed"

    shutil.rmtree(work)
    print("ok")


if __name__ == "__main__":
    main()
