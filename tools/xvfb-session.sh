#!/usr/bin/env bash
# Sourced by the run and test scripts: gives this shell an X display with a window manager,
# starting Xvfb and openbox when there is none. They stop when the sourcing script exits.
start_xvfb_session() {
  if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local number
  for number in $(seq 90 120); do
    [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]] && continue
    Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$number"
    for _ in $(seq 50); do
      xdpyinfo >/dev/null 2>&1 && break
      sleep 0.1
    done
    if xdpyinfo >/dev/null 2>&1; then
      openbox >/dev/null 2>&1 &
      OPENBOX_PID=$!
      sleep 0.5
      trap stop_xvfb_session EXIT
      echo "Started a virtual display $DISPLAY"
      return 0
    fi
    kill "$XVFB_PID" 2>/dev/null || true
  done
  echo "Could not start Xvfb" >&2
  return 1
}

stop_xvfb_session() {
  [[ -n "${OPENBOX_PID:-}" ]] && kill "$OPENBOX_PID" 2>/dev/null
  [[ -n "${XVFB_PID:-}" ]] && kill "$XVFB_PID" 2>/dev/null
  return 0
}
