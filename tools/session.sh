# Sourced by tools/test and tools/run: a virtual display and a Wine session
# of their own, both ended by session_end.

session_display_pid=
session_prefix=

# Starts Xvfb on a free display number and exports DISPLAY.
session_start_display() {
  local n
  for n in $(seq 91 160); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  session_display_pid=$!
  # Xvfb listens on the abstract socket too; wait until it answers.
  local tries
  for tries in $(seq 1 100); do
    if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
      export DISPLAY=":$n"
      return 0
    fi
    kill -0 "$session_display_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "session: Xvfb did not start on :$n" >&2
  return 1
}

# Starts a persistent wineserver for the prefix and brings the prefix up to
# date, so that no test pays for (or hangs on) setting it up. Programs run in
# a Wine virtual desktop: Wine then draws frames and captions and handles
# activation itself, as Windows does, with no X window manager around.
session_start_wine() {
  session_prefix=$1
  export WINEPREFIX=$session_prefix WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES=mscoree,mshtml=
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wineserver -p
  timeout 300 /usr/lib/wine/wine64 wineboot -u >/dev/null 2>&1 || return 1
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ \
    /d 1024x768 /f >/dev/null 2>&1
  # The desktop settings take effect for the next session of the prefix.
  /usr/lib/wine/wineserver -k
  /usr/lib/wine/wineserver -w
  /usr/lib/wine/wineserver -p
  # The first program of a session starts Wine's services and desktop, which
  # would inherit its output and keep CTest's pipes open: start them here.
  /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
}

session_end() {
  if [ -n "$session_prefix" ]; then
    WINEPREFIX=$session_prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    session_prefix=
  fi
  if [ -n "$session_display_pid" ]; then
    kill "$session_display_pid" 2>/dev/null || true
    wait "$session_display_pid" 2>/dev/null || true
    session_display_pid=
  fi
}
