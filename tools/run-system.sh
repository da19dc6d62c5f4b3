#!/usr/bin/env bash
# Command one: builds, lays out a ready program directory for each program
# (run/server/, run/client/) and starts the system: the modem simulator (with a
# message waiting on its SIM when run/ is laid out afresh), the server with the
# simulator as its modem, and, once the server listens, the client. Closing the
# client (or Ctrl-C) stops what this started; the server saves its queues as it
# ends. Without a display it runs on Qt's offscreen platform. It builds build/ as
# the test command does, so running both builds nothing twice.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELM_WERROR=ON >/dev/null
cmake --build build -j "$(nproc)" --target trelmsrv trelmcli trelm-modem-sim trelm-server-port

RUN=run
# Laid out afresh, the modem's SIM starts with a message on it; once laid out, that
# message has reached the server (and perhaps the client's "Принятые") already.
sim_messages=()
if [ ! -e "$RUN/server" ] && [ ! -e "$RUN/client" ]; then
  sim_messages=(--message "+79161234567;;Привет! Это сообщение ждало на SIM-карте.")
fi

# The port the server will listen on, from its Config.ini or the one the lay-out
# gives it, read as the server reads it.
config=$RUN/server/Config.ini
[ -f "$config" ] || config=tools/demo/server/Config.ini
port=$(build/bin/trelm-server-port "$config")
if [ "$port" -eq 0 ]; then
  echo "EthernetPort in $config gives the server no fixed port, and the demo's client could not"
  echo "find it: set it to the client's Port (8099 in the demo). Nothing was started."
  exit 1
fi
# The inodes of the sockets listening on TCP port $1.
listeners() {
  local hex
  hex=$(printf '%04X' "$1")
  awk -v p="$hex" 'FNR > 1 { n = split($2, a, ":"); if (a[n] == p && $4 == "0A") print $10 }' \
    /proc/net/tcp /proc/net/tcp6 2>/dev/null
}
# A program that already listens there would get the demo's client, and the
# server could not start: say so before anything is laid out or started.
if [ -n "$(listeners "$port")" ]; then
  echo "TCP port $port is taken: another program listens on it (a server left running?),"
  echo "and the demo's client would talk to it. Nothing was started."
  if [ -f "$RUN/server/Config.ini" ]; then
    echo "Stop that program, or give the demo another port: EthernetPort in $RUN/server/Config.ini"
    echo "and Port in $RUN/client/Config.ini."
  else
    echo "Stop that program and run this again."
  fi
  exit 1
fi

mkdir -p "$RUN"
bash tools/demo/lay-out.sh build/bin "$RUN"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running on Qt's offscreen platform (nothing is shown)."
  export QT_QPA_PLATFORM=offscreen
fi

started=()
stop_all() {
  # Last started, first stopped: the modem goes last, as the server's close still uses its port.
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[i]}" 2>/dev/null || true
    wait "${started[i]}" 2>/dev/null || true
  done
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# The modem: its log (every command, every message it is asked to send, decoded)
# comes here and to run/modem.log.
[ -L "$RUN/modem" ] && rm -f "$RUN/modem"  # left by a run that was killed
build/bin/trelm-modem-sim --link "$RUN/modem" --log "$RUN/modem.log" "${sim_messages[@]}" &
started+=($!)
for _ in $(seq 100); do [ -e "$RUN/modem" ] && break; sleep 0.1; done
[ -e "$RUN/modem" ] || { echo "The modem simulator did not start."; exit 1; }
echo "trelm-modem-sim started: $RUN/modem (log in $RUN/modem.log)"

(cd "$RUN/server" && exec ./trelmsrv) &
server=$!
started+=($server)
echo "trelmsrv started in $RUN/server/ (pid $server)"

# True once the server itself listens on the port: one of its descriptors is a
# socket listening there.
server_listens() {
  local inode fd
  for inode in $(listeners "$port"); do
    for fd in /proc/"$server"/fd/*; do
      [ "$(readlink "$fd" 2>/dev/null)" = "socket:[$inode]" ] && return 0
    done
  done
  return 1
}
until server_listens; do
  if ! kill -0 "$server" 2>/dev/null; then
    status=0
    wait "$server" || status=$?
    if [ "$status" -eq 0 ]; then
      # The one way it ends well before it listens: another copy holds the lock.
      echo "trelmsrv ended at once: another trelmsrv runs as $(id -un) on this machine (one per user,"
      echo "whatever its folder or port). It said \"Приложение уже запущено\" in a message box, or"
      echo "above without a display. Stop that server and run this again."
    else
      echo "trelmsrv ended with exit status $status before it listened on port $port; it said why"
      echo "in a message box, or above without a display."
    fi
    exit 1
  fi
  sleep 0.2
done

(cd "$RUN/client" && exec ./trelmcli) &
client=$!
started+=($client)
echo "trelmcli started in $RUN/client/ (pid $client); the server listens on port $port."
echo "Send a message from the client to see it decoded in the modem's log."
if [ ${#sim_messages[@]} -gt 0 ]; then
  echo "\"Считать сообщения\" fetches the message that waited on the SIM."
else
  echo "\"Считать сообщения\" fetches what the server has received; the SIM starts empty this time"
  echo "(its message was taken on the first run)."
fi
echo "Close the client (or press Ctrl-C) to stop."
wait "$client" || true
