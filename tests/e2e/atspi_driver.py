"""Drives the tool's real windows through the accessibility bus (AT-SPI) for end-to-end tests.

Runs inside run_e2e.sh, which provides the X server, the D-Bus session with the accessibility
bus and a private HOME. Every wait has a time-out and turns a hang into a HarnessTimeout (an
AssertionError), so a test fails and never hangs.

    import atspi_driver as d

    with d.App.start(binary, album_path) as app:
        win = app.wait_for_window("Quorvanta Album Repair Tool", prefix=True)
        report = d.text(d.find(win, role="text"))
        d.press(d.find(win, role="push button", name="Try to Repair"))
        dialog = app.wait_for_dialog("Save Repaired Copy")
        d.set_text(d.find(dialog, role="text", name="File name:"), "/path/copy.qva")
        d.press(d.find(dialog, role="push button", name="Save"))
        d.screenshot("after.png", win)

What Qt 6.4 shows on the bus (role names as AT-SPI gives them):
    main window "frame"; QLabel "label" (name = its text), a QLabel with a picture "image"
    (name = accessibleName); QPushButton "push button" (name = its text without "&",
    action "Press"); QPlainTextEdit / QTextEdit "text" (its content through text(), name empty
    unless accessibleName is set; multi-line state); QMenuBar "menu bar" > "menu item"
    (action "ShowMenu") > "popup menu" > "menu item" (action "Press"), there even while closed;
    QMessageBox "alert" (name = window title, the message is a "label", buttons
    "push button"); QFileDialog (non-native) "dialog" (name = window title), its file name
    field "text" named "File name:" (a field takes its name from its buddy label).
    A disabled button offers no actions. Top-level windows are the children of the
    application object; without a window manager they open at the top left of the screen.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

warnings.filterwarnings("ignore", category=DeprecationWarning, message=r"Atspi\.")
Atspi.init()

# Seconds any wait may take before it fails; raise it for slow (sanitiser) builds.
DEFAULT_TIMEOUT = float(os.environ.get("QV_E2E_TIMEOUT", "30"))
POLL_INTERVAL = 0.1

WINDOW_ROLES = ("frame", "window", "dialog", "alert", "file chooser")
DIALOG_ROLES = ("dialog", "alert", "file chooser")
# Subtrees not searched unless asked: item views can hold very many cells.
DEFAULT_SKIP_ROLES = ("table", "tree table", "tree", "list")

HERE = os.path.dirname(os.path.abspath(__file__))


class HarnessTimeout(AssertionError):
    """A wait ran out of time: what was waited for did not happen."""


# --- waiting --------------------------------------------------------------------------------

def pump_events():
    """Handles the accessibility events that have arrived, so that cached state is current."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_until(predicate, timeout=None, what="the condition", describe=None):
    """Calls predicate() until it returns something true, and returns that.

    Raises HarnessTimeout after `timeout` seconds (DEFAULT_TIMEOUT if None). AT-SPI errors
    inside predicate (an object that went away) count as "not yet". `describe`, a function
    returning text, adds the state of things to the failure message.
    """
    timeout = DEFAULT_TIMEOUT if timeout is None else timeout
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        pump_events()
        try:
            value = predicate()
            if value:
                return value
        except GLib.Error as error:
            last_error = error
        if time.monotonic() >= deadline:
            message = f"timed out after {timeout:g} s waiting for {what}"
            if last_error is not None:
                message += f" (last AT-SPI error: {last_error.message})"
            if describe is not None:
                try:
                    message += "\n" + describe()
                except GLib.Error:
                    pass
            raise HarnessTimeout(message)
        time.sleep(POLL_INTERVAL)


# --- reading the tree -----------------------------------------------------------------------

def role(acc):
    """The AT-SPI role name of acc, such as "push button", "label", "text", "frame"."""
    return acc.get_role_name()


def name(acc):
    """The accessible name of acc ("" when none)."""
    return acc.get_name() or ""


def children(acc):
    """The direct children of acc."""
    result = []
    for i in range(acc.get_child_count()):
        child = acc.get_child_at_index(i)
        if child is not None:
            result.append(child)
    return result


def has_interface(acc, interface):
    """Whether acc implements the AT-SPI interface named e.g. "Text", "Action", "EditableText"."""
    return interface in acc.get_interfaces()


def text(acc):
    """The text acc shows: its Text content when it has one (labels, text fields, text areas),
    otherwise its name."""
    if has_interface(acc, "Text"):
        return Atspi.Text.get_text(acc, 0, Atspi.Text.get_character_count(acc))
    return name(acc)


def states(acc):
    """The set of state names of acc, such as {"enabled", "showing", "focused", "checked"}."""
    return {state.value_nick for state in acc.get_state_set().get_states()}


def is_showing(acc):
    """Whether acc is on screen (visible and showing)."""
    current = states(acc)
    return "showing" in current and "visible" in current


def actions(acc):
    """The names of the actions acc offers, such as ["Press", "SetFocus"]."""
    if not has_interface(acc, "Action"):
        return []
    return [Atspi.Action.get_action_name(acc, i) for i in range(Atspi.Action.get_n_actions(acc))]


def walk(root, skip_roles=DEFAULT_SKIP_ROLES):
    """Yields root and everything under it, depth first, without entering skip_roles subtrees."""
    stack = [root]
    while stack:
        acc = stack.pop()
        yield acc
        if acc is not root and role(acc) in skip_roles:
            continue
        stack.extend(reversed(children(acc)))


# find_all() and find() take arguments with these names.
_role_of, _name_of, _text_of = role, name, text


def _matches(value, wanted):
    if wanted is None:
        return True
    if isinstance(wanted, re.Pattern):
        return wanted.search(value) is not None
    if callable(wanted):
        return bool(wanted(value))
    return value == wanted


def find_all(root, role=None, name=None, text=None, showing=None, skip_roles=DEFAULT_SKIP_ROLES):
    """Everything under root (root included) that matches, right now, without waiting.

    role: a role name or a tuple of them. name and text: an exact string, a compiled regular
    expression (searched) or a predicate on the string; text is what text() gives. showing:
    True keeps only what is on screen.
    """
    roles = (role,) if isinstance(role, str) else role
    found = []
    for acc in walk(root, skip_roles):
        try:
            if roles is not None and _role_of(acc) not in roles:
                continue
            if not _matches(_name_of(acc), name):
                continue
            if text is not None and not _matches(_text_of(acc), text):
                continue
            if showing and not is_showing(acc):
                continue
        except GLib.Error:
            continue  # went away while we looked
        found.append(acc)
    return found


def find(root, role=None, name=None, text=None, showing=None, timeout=None,
         skip_roles=DEFAULT_SKIP_ROLES):
    """Waits until something under root matches (see find_all) and returns the first match."""
    def first():
        matches = find_all(root, role, name, text, showing, skip_roles)
        return matches[0] if matches else None
    wanted = ", ".join(f"{key}={value!r}" for key, value in
                       (("role", role), ("name", name), ("text", text)) if value is not None)
    return wait_until(first, timeout, what=f"an element with {wanted}",
                      describe=lambda: "under:\n" + dump(root))


def dump(root, depth_limit=12, skip_roles=DEFAULT_SKIP_ROLES):
    """A readable outline of the tree under root: role, name, text and actions of each element."""
    lines = []

    def visit(acc, depth):
        try:
            line = f"{'  ' * depth}[{role(acc)}] {name(acc)!r}"
            if has_interface(acc, "Text"):
                content = text(acc)
                if content != name(acc):
                    line += f" text={content[:80]!r}"
            acts = actions(acc)
            if acts:
                line += f" actions={','.join(acts)}"
            lines.append(line)
            if depth < depth_limit and (depth == 0 or role(acc) not in skip_roles):
                for child in children(acc):
                    visit(child, depth + 1)
        except GLib.Error as error:
            lines.append(f"{'  ' * depth}(gone: {error.message})")

    visit(root, 0)
    return "\n".join(lines)


# --- acting ---------------------------------------------------------------------------------

PRESS_ACTIONS = ("Press", "press", "click", "activate", "Toggle", "ShowMenu")


def press(acc, action=None):
    """Runs acc's action named `action`, or its first of Press/click/activate/Toggle/ShowMenu.

    Qt answers at once and carries the press out from its event loop, so this returns even
    when the press opens a modal dialog.
    """
    offered = actions(acc)
    if action is None:
        action = next((a for a in PRESS_ACTIONS if a in offered), None)
    if action is None or action not in offered:
        # Qt offers no actions on a disabled widget.
        raise AssertionError(f"[{role(acc)}] {name(acc)!r} offers no action {action!r}: "
                             f"{offered}, states {sorted(states(acc))}")
    if not Atspi.Action.do_action(acc, offered.index(action)):
        raise AssertionError(f"action {action!r} on [{role(acc)}] {name(acc)!r} was refused")


def set_text(acc, value):
    """Replaces the whole content of an editable text field, as typing would."""
    if not has_interface(acc, "EditableText"):
        raise AssertionError(f"[{role(acc)}] {name(acc)!r} is not editable")
    if not Atspi.EditableText.set_text_contents(acc, value):
        raise AssertionError(f"[{role(acc)}] {name(acc)!r} refused the text {value!r}")


def focus(acc):
    """Gives acc the keyboard focus and waits until it reports it."""
    Atspi.Component.grab_focus(acc)
    wait_until(lambda: "focused" in states(acc), what=f"focus on [{role(acc)}] {name(acc)!r}")


def type_keys(value):
    """Types value as key presses into whatever has the keyboard focus (xdotool)."""
    subprocess.run(["xdotool", "type", "--delay", "30", "--", value], check=True, timeout=60)


def key(*names):
    """Presses keys or chords by X key name into the focused window, e.g. key("Return"),
    key("ctrl+q")."""
    subprocess.run(["xdotool", "key", "--delay", "50", *names], check=True, timeout=60)


def click(acc):
    """Clicks the middle of acc with the left mouse button (xdotool), as a person does."""
    x, y = center(acc)
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"],
                   check=True, timeout=60)


def extents(acc):
    """(x, y, width, height) of acc on the screen."""
    rect = Atspi.Component.get_extents(acc, Atspi.CoordType.SCREEN)
    return rect.x, rect.y, rect.width, rect.height


def center(acc):
    """The screen point in the middle of acc."""
    x, y, w, h = extents(acc)
    return x + w // 2, y + h // 2


def screenshot(path, acc=None):
    """Saves the screen as a PNG at path, or only the part acc covers. Returns path."""
    command = ["import", "-window", "root"]
    if acc is not None:
        x, y, w, h = extents(acc)
        command += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
    subprocess.run(command + [path], check=True, timeout=60)
    return path


def drag_file(path, target, timeout=None):
    """Drags the file at path from a helper window onto the middle of target, with the mouse.

    The helper (drag_source.py) offers the file as text/uri-list, as a file manager does.
    Returns once the helper has seen the drag end; raises AssertionError when the drop was
    refused and HarnessTimeout when the drag does not end.
    """
    timeout = DEFAULT_TIMEOUT if timeout is None else timeout
    tx, ty = center(target)
    # Put the helper where it does not cover the target.
    width = int(subprocess.run(["xdotool", "getdisplaygeometry"], check=True, timeout=60,
                               capture_output=True, text=True).stdout.split()[0])
    sx = width - 180 if tx < width // 2 else 20
    sy = 40
    with tempfile.TemporaryFile("w+") as log:
        helper = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "drag_source.py"), path, str(sx), str(sy)],
            stdout=log, stderr=subprocess.STDOUT, text=True)
        try:
            def ready():
                log.seek(0)
                match = re.search(r"^ready (\d+) (\d+)$", log.read(), re.M)
                if helper.poll() is not None and not match:
                    raise AssertionError(f"drag source ended early:\n{_read(log)}")
                return match
            match = wait_until(ready, timeout, "the drag source window")
            fx, fy = int(match.group(1)), int(match.group(2))

            # Small steps with pauses: X drag-and-drop needs a message exchange per position.
            steps = ["mousemove", str(fx), str(fy), "sleep", "0.2", "mousedown", "1", "sleep", "0.1"]
            for i in range(1, 6):
                steps += ["mousemove", str(fx + 3 * i), str(fy + 3 * i), "sleep", "0.05"]
            count = 40
            for i in range(1, count + 1):
                x = fx + (tx - fx) * i // count
                y = fy + (ty - fy) * i // count
                steps += ["mousemove", str(x), str(y), "sleep", "0.03"]
            for dx in (2, -2, 1, 0):
                steps += ["mousemove", str(tx + dx), str(ty), "sleep", "0.1"]
            steps += ["mouseup", "1"]
            subprocess.run(["xdotool", *steps], check=True, timeout=60)

            wait_until(lambda: helper.poll() is not None, timeout, "the drag to end",
                       describe=lambda: _read(log))
            output = _read(log)
            if helper.returncode != 0 or "dropped" not in output:
                raise AssertionError(f"the drop of {path} was not taken:\n{output}")
        finally:
            if helper.poll() is None:
                helper.kill()
                helper.wait()


def _read(stream):
    stream.seek(0)
    return stream.read()


# --- the program under test -----------------------------------------------------------------

class App:
    """The program under test, started as a child process and found on the accessibility bus.

    Use as a context manager: leaving the block ends the program if it still runs.
    """

    def __init__(self, process, log_dir):
        self.process = process
        self.pid = process.pid
        self.log_dir = log_dir
        self._accessible = None

    @classmethod
    def start(cls, binary, *args, env=None, cwd=None):
        """Starts binary with args; its standard output and error go to files (see stdout())."""
        log_dir = tempfile.mkdtemp(prefix="app-")
        environment = dict(os.environ)
        environment.update(env or {})
        with open(os.path.join(log_dir, "stdout"), "wb") as out, \
                open(os.path.join(log_dir, "stderr"), "wb") as err:
            process = subprocess.Popen([binary, *map(str, args)], stdout=out, stderr=err,
                                       stdin=subprocess.DEVNULL, env=environment, cwd=cwd)
        return cls(process, log_dir)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        """Ends the program if it still runs, and removes its log files."""
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.log_dir, ignore_errors=True)

    # output and exit

    def stdout(self):
        """All the program has written to its standard output so far."""
        with open(os.path.join(self.log_dir, "stdout"), encoding="utf-8", errors="replace") as f:
            return f.read()

    def stderr(self):
        """All the program has written to its standard error so far."""
        with open(os.path.join(self.log_dir, "stderr"), encoding="utf-8", errors="replace") as f:
            return f.read()

    def wait_for_output(self, wanted, timeout=None):
        """Waits until standard output contains wanted (a string or compiled regex); returns
        the output."""
        def seen():
            out = self.stdout()
            found = wanted.search(out) if isinstance(wanted, re.Pattern) else wanted in out
            return out if found else None
        return wait_until(seen, timeout, f"output {wanted!r}",
                          describe=lambda: f"stdout:\n{self.stdout()}\nstderr:\n{self.stderr()}")

    def wait_exit(self, timeout=None):
        """Waits until the program has ended and returns its exit status (negative: signal)."""
        wait_until(lambda: self.process.poll() is not None, timeout, f"process {self.pid} to end")
        return self.process.returncode

    def expect_exit(self, code, timeout=None):
        """Waits until the program has ended and checks that it ended with status code."""
        status = self.wait_exit(timeout)
        if status != code:
            raise AssertionError(f"exit status {status}, wanted {code}\nstderr:\n{self.stderr()}")

    # the accessibility tree

    def accessible(self, timeout=None):
        """The program's application object on the accessibility bus, waited for."""
        if self._accessible is not None:
            return self._accessible

        def on_bus():
            if self.process.poll() is not None:
                raise AssertionError(f"the program ended with status {self.process.returncode} "
                                     f"before it appeared\nstderr:\n{self.stderr()}")
            desktop = Atspi.get_desktop(0)
            desktop.clear_cache()
            for app in children(desktop):
                if app.get_process_id() == self.pid:
                    return app
            return None
        app = wait_until(on_bus, timeout, f"process {self.pid} on the accessibility bus")
        # Ask the program every time instead of trusting a cache fed by events.
        app.set_cache_mask(Atspi.Cache.NONE)
        self._accessible = app
        return app

    def windows(self):
        """The program's top-level windows (main window, dialogs, message boxes, popups)."""
        return children(self.accessible())

    def wait_for_window(self, title=None, prefix=False, roles=WINDOW_ROLES, timeout=None):
        """Waits for a shown top-level window whose title is title (or starts with it when
        prefix is true; any title when None) and whose role is one of roles; returns it."""
        def window():
            for win in self.windows():
                if role(win) not in roles or not is_showing(win):
                    continue
                title_now = name(win)
                if title is None or title_now == title or (prefix and title_now.startswith(title)):
                    return win
            return None
        return wait_until(window, timeout, f"a window titled {title!r}",
                          describe=lambda: "windows: " + ", ".join(
                              f"[{role(w)}] {name(w)!r}" for w in self.windows()))

    def wait_for_dialog(self, title=None, prefix=False, timeout=None):
        """Waits for a dialog, message box or file chooser (see wait_for_window)."""
        return self.wait_for_window(title, prefix, DIALOG_ROLES, timeout)

    def wait_window_gone(self, win, timeout=None):
        """Waits until the window win is closed or hidden."""
        def gone():
            try:
                return not is_showing(win) or all(w != win for w in self.windows())
            except GLib.Error:
                return True
        wait_until(gone, timeout, f"window {name(win)!r} to close")

    def choose_menu(self, window, *path, timeout=None):
        """Opens menus along path from window's menu bar and presses the last item,
        e.g. app.choose_menu(win, "File", "Quit")."""
        menu_bar = find(window, role="menu bar", timeout=timeout)
        current = menu_bar
        for label in path:
            item = find(current, role="menu item", name=label, timeout=timeout)
            press(item)
            current = item
