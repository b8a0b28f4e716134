# Shell functions to run the installer in a virtual X display and drive it as
# a person would: wait for a window or a traced event, press keys, take
# screenshots. Sourced by scripts/demo and the black-box tests.
#
# Needs: Xvfb, xdotool, import (ImageMagick). Every wait is bounded; nothing
# sleeps blindly.

XS_TRACE_SEEN=0   # lines of the trace already consumed
XS_XVFB_PID=
XS_SETUP_PID=
XS_PROGMAN_PID=
XS_EXIT=

xs_log() { printf '  %s\n' "$*"; }

# xs_start_display: starts Xvfb on a free display number and exports DISPLAY.
xs_start_display() {
  local n
  for n in $(shuf -i 100-899 -n 20); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XS_XVFB_PID=$!
    local i
    for i in $(seq 100); do
      if DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$XS_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$XS_XVFB_PID" 2>/dev/null
    wait "$XS_XVFB_PID" 2>/dev/null
  done
  echo "could not start Xvfb" >&2
  return 1
}

# xs_start_progman BIN ROOT: Program Manager, already running on the desktop
# before the installer starts.
xs_start_progman() {
  KELVORA_MACHINE="$2" "$1/progman" --idle-seconds 600 >/dev/null 2>&1 &
  XS_PROGMAN_PID=$!
  local i
  for i in $(seq 100); do [ -S "$2/dde/progman" ] && return 0; sleep 0.1; done
  echo "progman did not start" >&2
  return 1
}

# xs_start_setup BIN ROOT DIR TRACE: starts setup with DIR (a host directory
# inside a drive) as its current directory.
xs_start_setup() {
  : >"$4"
  XS_TRACE_SEEN=0
  (cd "$3" && KELVORA_MACHINE="$2" KELVORA_TRACE="$4" exec "$1/setup") >"$4.out" 2>&1 &
  XS_SETUP_PID=$!
}

# xs_wait_trace TRACE REGEX: waits (up to 30 s) for the next trace line
# matching REGEX among the lines not yet consumed; prints it.
xs_wait_trace() {
  local i line n
  for i in $(seq 300); do
    n=$(wc -l <"$1")
    while [ "$XS_TRACE_SEEN" -lt "$n" ]; do
      XS_TRACE_SEEN=$((XS_TRACE_SEEN + 1))
      line=$(sed -n "${XS_TRACE_SEEN}p" "$1")
      if [[ $line =~ $2 ]]; then
        printf '%s\n' "$line"
        return 0
      fi
    done
    kill -0 "$XS_SETUP_PID" 2>/dev/null || { echo "setup ended while waiting for: $2" >&2; return 1; }
    sleep 0.1
  done
  echo "timed out waiting for: $2" >&2
  return 1
}

# xs_window CLASS: waits for a visible window of that class (F_bj1, F_azh1,
# F_tsh1, MessageBox); prints its id.
xs_window() {
  timeout 20 xdotool search --sync --onlyvisible --classname "^$1\$" 2>/dev/null | head -n 1
}

# xs_keys KEY...: key presses to the window that has the keyboard.
xs_keys() { xdotool key --delay 50 "$@"; }
# xs_type TEXT: typed text.
xs_type() { xdotool type --delay 30 "$1"; }
# xs_shot FILE: a screenshot of the whole screen, once the picture has
# settled (two shots in a row alike; at most 20 tries).
xs_shot() {
  local i
  import -window root "$1.prev.png"
  for i in $(seq 20); do
    import -window root "$1"
    compare -metric AE "$1" "$1.prev.png" null: >/dev/null 2>&1 && break
    mv "$1" "$1.prev.png"
  done
  rm -f "$1.prev.png"
}

# xs_wait_exit: waits (up to 30 s) for setup to end; its exit code goes to
# XS_EXIT. (Not in a subshell: only this shell can wait for its child.)
xs_wait_exit() {
  local i
  for i in $(seq 300); do
    kill -0 "$XS_SETUP_PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$XS_SETUP_PID" 2>/dev/null; then
    kill "$XS_SETUP_PID"
    echo "setup did not end" >&2
  fi
  wait "$XS_SETUP_PID"
  XS_EXIT=$?
  XS_SETUP_PID=
}

# xs_stop: ends what this session started, by process id.
xs_stop() {
  local p
  for p in "$XS_SETUP_PID" "$XS_PROGMAN_PID" "$XS_XVFB_PID"; do
    [ -n "$p" ] && kill "$p" 2>/dev/null && wait "$p" 2>/dev/null
  done
  XS_SETUP_PID= XS_PROGMAN_PID= XS_XVFB_PID=
  return 0
}
