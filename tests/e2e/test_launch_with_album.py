"""Opening albums from the file manager: the files named on the command line.

Starts the real program with a damaged album, a text file and a sound album on its command
line, all in a folder whose name holds a blank and quotes, and reads its windows through the
accessibility bus:
- one empty window (from the start-up) and one window per album, none for the text file and
  no message box;
- the damaged album's window names the album and shows "Album Corrupted - " with the first
  finding of SQLite's integrity check, its "Try to Repair" button usable;
- the sound album's window shows "Album OK - No need to repair", "Try to Repair" unusable;
- File > Quit in the menu bar ends the program with status 0;
- afterwards the albums are byte for byte as before, the album folder holds nothing new and
  the program's own temporary folder is gone.
Leaves a picture of the damaged album's window at <build dir>/e2e_launch.png.

    run_e2e.sh test_launch_with_album.py BINARY
"""

import os
import shutil
import sys
import tempfile

import atspi_driver as d
from e2e_albums import (DROP_HINT, REPAIR, check_button_usable, check_status,
                        describe_windows, first_integrity_row, folder_contents,
                        main_windows, make_damaged_album, make_sound_album, shown_windows,
                        spread_out, window_showing_label)


# --- the test -------------------------------------------------------------------------------

def main():
    binary = sys.argv[1]
    build_dir = os.path.dirname(os.path.dirname(os.path.abspath(binary)))
    picture = os.path.join(build_dir, "e2e_launch.png")

    work = tempfile.mkdtemp(prefix="launch-")
    album_folder = os.path.join(work, "Jo's \"old\" albums")
    program_tmp = os.path.join(work, "program tmp")
    os.makedirs(album_folder)
    os.makedirs(program_tmp)

    damaged = os.path.join(album_folder, "Wedding 2019.qva")
    sound = os.path.join(album_folder, "Summer Trip.qva")
    notes = os.path.join(album_folder, "notes.txt")
    make_damaged_album(damaged)
    make_sound_album(sound)
    with open(notes, "w", encoding="utf-8") as f:
        f.write("Albums to look at: Wedding 2019, Summer Trip.\n")

    finding = first_integrity_row(damaged)
    assert finding.lower() != "ok", "the damage left the album sound"
    assert first_integrity_row(sound).lower() == "ok", "the sound album is not sound"
    before = folder_contents(album_folder)

    try:
        # The text file stands between the albums: the files are opened in order, so once the
        # last album's window is there, the text file has been dealt with.
        with d.App.start(binary, damaged, notes, sound, env={"TMPDIR": program_tmp},
                         cwd=work) as app:
            windows = main_windows(app, 3)

            # Exactly three windows, no message box, nothing for notes.txt.
            shown = [(d.role(w), d.name(w)) for w in shown_windows(app)]
            assert len(windows) == 3 and len(shown) == 3, \
                f"wanted three main windows and nothing else:\n{describe_windows(app)}"
            for window in windows:
                assert not d.find_all(window, name=lambda n: "notes" in n), \
                    f"a window mentions notes.txt:\n{d.dump(window)}"

            empty = window_showing_label(windows, DROP_HINT)
            damaged_window = window_showing_label(windows, os.path.basename(damaged))
            sound_window = window_showing_label(windows, os.path.basename(sound))

            # The empty window.
            check_status(empty, "")
            check_button_usable(empty, REPAIR, usable=False)
            d.find(empty, role="push button", name="Quit")

            # The damaged album.
            check_status(damaged_window, "Album Corrupted - " + finding)
            check_button_usable(damaged_window, REPAIR, usable=True)
            d.find(damaged_window, role="push button", name="Quit")

            # The sound album.
            assert not d.find_all(sound_window, role="label", name=DROP_HINT), \
                f"the sound album's window still asks for a drop:\n{d.dump(sound_window)}"
            check_status(sound_window, "Album OK - No need to repair")
            check_button_usable(sound_window, REPAIR, usable=False)
            d.find(sound_window, role="push button", name="Quit")

            spread_out(app, windows)
            d.screenshot(picture, damaged_window)
            print(f"picture of the damaged album's window: {picture}")

            # File > Quit ends the program normally.
            menu_bar = d.find_all(damaged_window, role="menu bar")
            assert menu_bar, f"the window has no menu bar:\n{d.dump(damaged_window)}"
            file_menu = d.find(menu_bar[0], role="menu item", name="File")
            d.find(file_menu, role="menu item", name="Quit")
            app.choose_menu(damaged_window, "File", "Quit")
            app.expect_exit(0)
    finally:
        after = folder_contents(album_folder)
        assert sorted(after) == sorted(before), \
            f"the album folder changed: was {sorted(before)}, now {sorted(after)}"
        for name in before:
            assert after[name] == before[name], f"{name} changed"

    leftovers = [n for n in os.listdir(program_tmp) if n.startswith("quorvanta-")]
    assert not leftovers, f"the program left {leftovers} in its TMPDIR"
    shutil.rmtree(work)
    print("ok")


if __name__ == "__main__":
    main()
