#!/usr/bin/env bash
# The window as a screen reader meets it: the real program under Xvfb, on a
# private D-Bus session with its own AT-SPI bus, fed by the simulated charger,
# checked through pyatspi (accessibility_bus.py).
#   test_accessibility_bus.sh PROGRAM CHARGER CHECK_SCRIPT
# Exits 77 (skipped) only when a tool the test needs is not installed; every
# process it starts is ended on the way out.
set -euo pipefail

program="$1"
charger="$2"
check="$3"
python=/usr/bin/python3  # Debian's pyatspi belongs to Debian's own Python
launcher=/usr/libexec/at-spi-bus-launcher
deadline_s=60

skip() {
  echo "SKIP: $* (scripts/install-deps installs it)"
  exit 77
}
command -v Xvfb >/dev/null || skip "Xvfb not found (package xvfb)"
command -v dbus-daemon >/dev/null || skip "dbus-daemon not found (package dbus)"
command -v dbus-send >/dev/null || skip "dbus-send not found (package dbus)"
[ -x "$launcher" ] || skip "$launcher not found (package at-spi2-core)"
[ -x /usr/libexec/at-spi2-registryd ] || skip "at-spi2-registryd not found (package at-spi2-core)"
"$python" -c 'import pyatspi' 2>/dev/null || skip "pyatspi for $python not found (package python3-pyatspi)"

# Whether the process still runs (an ended one stays a zombie until waited for).
running() {
  local state
  state="$(ps -o stat= -p "$1" 2>/dev/null)" || return 1
  [[ -n "$state" && "$state" != Z* ]]
}

work="$(mktemp -d "${TMPDIR:-/tmp}/orvanta-a11y.XXXXXX")"
pids=()
stop_all() {
  local status=$?
  # Newest first: the program, the simulator, the AT-SPI bus (which ends its
  # own bus daemon, and so the registry), D-Bus, X. One that has not ended
  # 5 s after being asked is killed.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
  done
  local end=$((SECONDS + 5))
  for pid in "${pids[@]}"; do
    while running "$pid" && ((SECONDS < end)); do
      sleep 0.1
    done
    if running "$pid"; then
      kill -KILL "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
  exit "$status"
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Polls `condition` (a command) every 0.1 s until it holds or `seconds` pass.
wait_for() {
  local what="$1" seconds="$2"
  shift 2
  local end=$((SECONDS + seconds))
  until "$@"; do
    if ((SECONDS >= end)); then
      echo "FAIL: $what did not happen within $seconds s" >&2
      for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 8 "$log"; } >&2
      done
      return 1
    fi
    sleep 0.1
  done
}

# Everything below runs in its own environment: no desktop, bus or X server of
# the caller's is touched.
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The program records its session into a store under here, not the user's.
export XDG_DATA_HOME="$work/data"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY

Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for "Xvfb start" 15 test -s "$work/display"
export DISPLAY=":$(head -n 1 "$work/display")"

dbus-daemon --session --nofork --address="unix:path=$work/session-bus" >"$work/dbus.log" 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/session-bus"
wait_for "the D-Bus session" 15 test -S "$work/session-bus"

"$launcher" --launch-immediately --a11y=1 >"$work/atspi.log" 2>&1 &
pids+=($!)
# Asking for the name's owner does not start a second launcher by activation.
a11y_bus_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}
wait_for "the AT-SPI bus" 15 a11y_bus_up

# A frame every 2 s, so each one stays shown for a whole acquisition tick
# before the next is sent.
"$charger" --echo --repeat --interval-ms 2000 "$work/charger" >"$work/charger.log" 2>&1 &
pids+=($!)
wait_for "the simulated charger" 15 test -e "$work/charger"

# As the Chinese user runs it, whatever the caller's locale.
env -u LC_ALL -u LC_MESSAGES LANG=zh_CN.UTF-8 LANGUAGE=zh_CN \
  ORVANTA_COM1="$work/charger" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
  "$program" >"$work/program.log" 2>&1 &
pids+=($!)

status=0
"$python" "$check" --sent "$work/charger.log" --deadline "$deadline_s" || status=$?
if [ "$status" -ne 0 ]; then
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 8 "$log"; } >&2
  done
fi
exit "$status"
