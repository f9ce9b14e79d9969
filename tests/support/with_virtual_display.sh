#!/usr/bin/env bash
# Runs a command under a virtual X display of its own. Developers and CI share
# the machine, so the display number is drawn at random from a wide range,
# and another is drawn when the X server cannot take it. CRVN_VIRTUAL_SCREEN
# names another screen than 1024x768x24 (width x height x depth).
set -uo pipefail

server=""
trap '[ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null' EXIT

for _ in $(seq 20); do
  display=$((200 + RANDOM % 800))
  [ -e "/tmp/.X${display}-lock" ] && continue
  # -noreset: a client that closes its connection must not reset the
  # server under the next one.
  Xvfb ":$display" -screen 0 "${CRVN_VIRTUAL_SCREEN:-1024x768x24}" -nolisten tcp -noreset 2>/dev/null &
  server=$!
  # Ready once its socket is there; gone when the number was taken after all.
  for _ in $(seq 100); do
    [ -S "/tmp/.X11-unix/X$display" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.05
  done
  if [ -S "/tmp/.X11-unix/X$display" ] && kill -0 "$server" 2>/dev/null; then
    DISPLAY=":$display" "$@"
    exit $?
  fi
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
  server=""
done
echo "no virtual display could be started" >&2
exit 1
