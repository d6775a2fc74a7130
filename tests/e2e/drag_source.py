"""A small window that offers one file for dragging, as a file manager would (text/uri-list).

    python3 drag_source.py FILE X Y

Shows the window at X, Y on the screen and prints "ready CX CY" with the screen point to
press the mouse on. Prints "sent" when the drop target asks for the data, then "dropped" or
"failed REASON" when the drag ends, and exits: 0 after a drop whose target took the data,
1 otherwise.
atspi_driver.drag_file() moves the mouse.
"""

import os
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

SIZE = 160


def main():
    path, x, y = os.path.abspath(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
    uri = GLib.filename_to_uri(path, None)
    outcome = {"status": 1}

    window = Gtk.Window(title="Drag Source")
    window.set_default_size(SIZE, SIZE)
    window.move(x, y)
    window.set_decorated(False)
    box = Gtk.EventBox()
    box.add(Gtk.Label(label=os.path.basename(path)))
    window.add(box)

    box.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
    box.drag_source_add_uri_targets()

    def on_data_get(_widget, _context, data, _info, _time):
        data.set_uris([uri])
        outcome["sent"] = True
        print("sent", flush=True)

    def on_failed(_widget, _context, result):
        print(f"failed {result.value_nick}", flush=True)
        outcome["failed"] = True
        return True  # no snap-back animation

    def on_end(_widget, context):
        # "drag-failed" comes first when the drop did not happen; GDK may still call the
        # context a success then, so that signal decides.
        if outcome.get("failed"):
            pass
        elif Gdk.drag_drop_succeeded(context) and outcome.get("sent"):
            print("dropped", flush=True)
            outcome["status"] = 0
        else:
            print("failed refused", flush=True)
        # Let the last messages of the exchange go out before leaving.
        GLib.timeout_add(200, Gtk.main_quit)

    def on_mapped(_widget, _event):
        # Ask the X server where the window landed rather than trusting the request.
        GLib.idle_add(report_ready)
        return False

    def report_ready():
        _, left, top = box.get_window().get_origin()
        allocation = box.get_allocation()
        print(f"ready {left + allocation.width // 2} {top + allocation.height // 2}", flush=True)
        return False

    box.connect("drag-data-get", on_data_get)
    box.connect("drag-failed", on_failed)
    box.connect("drag-end", on_end)
    window.connect("map-event", on_mapped)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    Gtk.main()
    return outcome["status"]


if __name__ == "__main__":
    sys.exit(main())
