#!/usr/bin/env bash
# Runs one end-to-end test script against the real binary, in a world of its own:
#   run_e2e.sh SCRIPT BINARY
# - a private X server (Xvfb through xvfb-run -a, so several runs can go side by side),
# - a private D-Bus session bus and, on it, the accessibility bus (at-spi-bus-launcher),
# - a private HOME, XDG folders and runtime folder in a temporary directory,
# then `python3 SCRIPT BINARY` with tests/e2e on its module path. Exits with the script's
# exit status. Every process started here is ended before it returns.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
python=/usr/bin/python3   # the system one: it has the GObject and AT-SPI bindings

# ---------------------------------------------------------------------------------------------
# Inside Xvfb and the D-Bus session: start the accessibility bus, then the script.
if [ "${1:-}" = --inside ]; then
  script=$2 binary=$3

  # The X server answers before anything is started on it (xvfb-run returns once Xvfb
  # says it is ready, but a program that connected at once was once refused).
  for _ in $(seq 1 200); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.05
  done

  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  launcher=$!
  # Ready once the launcher owns its name on the session bus (asked without activating it,
  # which would start a second launcher).
  ready=0
  for _ in $(seq 1 200); do
    if dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
         org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q true; then
      ready=1
      break
    fi
    if ! kill -0 "$launcher" 2>/dev/null; then
      break
    fi
    sleep 0.05
  done
  if [ "$ready" -ne 1 ]; then
    echo "run_e2e: the accessibility bus did not come up" >&2
    kill "$launcher" 2>/dev/null || true
    exit 125
  fi

  status=0
  "$python" -u "$script" "$binary" </dev/null || status=$?

  kill "$launcher" 2>/dev/null || true
  wait "$launcher" 2>/dev/null || true
  exit "$status"
fi

# ---------------------------------------------------------------------------------------------
# Outside: set up the private folders, run the inside part, sweep up.
if [ $# -ne 2 ]; then
  echo "usage: run_e2e.sh SCRIPT BINARY" >&2
  exit 2
fi
script=$(realpath "$1")
binary=$(realpath "$2")
[ -f "$script" ] || { echo "run_e2e: no script $script" >&2; exit 2; }
[ -x "$binary" ] || { echo "run_e2e: no program $binary" >&2; exit 2; }

# A run holds a lock on its folder for its whole life. A run killed outright (SIGKILL, as a
# test runner's time-out may do) could not clean up: remove such folders once a minute old.
for old in "${TMPDIR:-/tmp}"/qv-e2e.*/; do
  if [ -f "$old.lock" ] && [ -n "$(find "$old.lock" -mmin +1)" ] && flock -n "$old.lock" true; then
    rm -rf "$old"
  fi
done

root=$(mktemp -d "${TMPDIR:-/tmp}/qv-e2e.XXXXXX")
exec 9>"$root/.lock"
flock 9

# Every process of this run inherits QV_E2E_RUN; whatever still carries it at the end is ours.
export QV_E2E_RUN=$root
# shellcheck disable=SC2317  # run from the EXIT trap
sweep() {
  local pass dir pid pids
  for pass in TERM TERM TERM TERM TERM KILL; do
    pids=()
    for dir in /proc/[0-9]*; do
      pid=${dir#/proc/}
      [ "$pid" = $$ ] && continue
      if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "QV_E2E_RUN=$root"; then
        pids+=("$pid")
      fi
    done
    [ ${#pids[@]} -eq 0 ] && return 0
    kill "-$pass" "${pids[@]}" 2>/dev/null || true
    sleep 0.2
  done
}
# shellcheck disable=SC2317  # run from the EXIT trap
cleanup() {
  sweep
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

export HOME=$root/home
export XDG_CONFIG_HOME=$HOME/.config
export XDG_DATA_HOME=$HOME/.local/share
export XDG_CACHE_HOME=$HOME/.cache
export XDG_STATE_HOME=$HOME/.local/state
export XDG_RUNTIME_DIR=$root/runtime
export TMPDIR=$root/tmp
mkdir -p "$HOME"/{Desktop,Documents,Downloads,Pictures} "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" \
         "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR" "$TMPDIR"
chmod 700 "$XDG_RUNTIME_DIR"
cat >"$XDG_CONFIG_HOME/user-dirs.dirs" <<'EOF'
XDG_DESKTOP_DIR="$HOME/Desktop"
XDG_DOCUMENTS_DIR="$HOME/Documents"
XDG_DOWNLOAD_DIR="$HOME/Downloads"
XDG_PICTURES_DIR="$HOME/Pictures"
EOF

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_ACCESSIBILITY=1
export QT_QPA_PLATFORM=xcb
export GDK_BACKEND=x11
export PYTHONPATH=$here${PYTHONPATH:+:$PYTHONPATH}
export PYTHONDONTWRITEBYTECODE=1
unset NO_AT_BRIDGE WAYLAND_DISPLAY DISPLAY DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
unset SESSION_MANAGER XDG_SESSION_TYPE

# -a picks a free display; starting the search at a random number keeps parallel runs apart.
# In the background and waited for, so that a TERM from the test runner is handled at once.
xvfb-run -a -n $((100 + RANDOM % 800)) -e "$root/xvfb.log" \
  -s "-screen 0 1280x1024x24 -nolisten tcp" \
  dbus-run-session -- bash "$here/run_e2e.sh" --inside "$script" "$binary" </dev/null &
status=0
wait $! || status=$?
if [ "$status" -ne 0 ] && [ -s "$root/xvfb.log" ]; then
  echo "run_e2e: Xvfb said:" >&2
  cat "$root/xvfb.log" >&2
fi
exit "$status"
