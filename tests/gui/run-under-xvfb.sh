#!/bin/sh
# Runs a test program on its own X server (Xvfb), on Qt's X11 platform.
#   usage: run-under-xvfb.sh [--window-manager] PROGRAM [ARGUMENTS]
# With --window-manager, openbox manages the windows, as on a desktop.
set -eu
wm=0
if [ "${1:-}" = --window-manager ]; then wm=1; shift; fi
export TESSALY_TEST_WM=$wm
exec xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" sh -c '
  if [ "$TESSALY_TEST_WM" = 1 ]; then
    openbox >/dev/null 2>&1 &
    wm_pid=$!
    # Wait until the window manager has taken the screen.
    i=0
    while ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
      i=$((i + 1)); [ $i -lt 100 ] || { echo "openbox did not start" >&2; exit 1; }
      sleep 0.1
    done
  fi
  QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 "$@"
  status=$?
  [ "$TESSALY_TEST_WM" = 1 ] && kill $wm_pid 2>/dev/null
  exit $status
' run-under-xvfb "$@"
