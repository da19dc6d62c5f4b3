#!/usr/bin/env bash
# Command one: builds, lays out a ready program directory for each program
# (run/server/, run/client/) and starts the system: the modem simulator (with a
# message waiting on its SIM when run/ is laid out afresh), the server with the
# simulator as its modem, and, once the server listens, the client. Closing the
# client (or Ctrl-C) stops what this started; the server saves its queues as it
# ends. Without a display it runs on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target trelmsrv trelmcli trelm-modem-sim

RUN=run
# Laid out afresh, the modem's SIM starts with a message on it; once laid out, that
# message has reached the server (and perhaps the client's "Принятые") already.
sim_messages=()
if [ ! -e "$RUN/server" ] && [ ! -e "$RUN/client" ]; then
  sim_messages=(--message "+79161234567;;Привет! Это сообщение ждало на SIM-карте.")
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

# The port it listens on, from its Config.ini (decimal or 0x hexadecimal).
port=$(sed -n 's/^[[:space:]]*EthernetPort[[:space:]]*=[[:space:]]*\([0-9xXa-fA-F]*\).*/\1/p' "$RUN/server/Config.ini" | head -n 1)
port=$((${port:-8099}))
listening() {
  local hex
  hex=$(printf '%04X' "$port")
  awk -v p="$hex" 'FNR > 1 { split($2, a, ":"); if (a[length(a)] == p && $4 == "0A") found = 1 } END { exit !found }' \
    /proc/net/tcp /proc/net/tcp6 2>/dev/null
}
until listening; do
  if ! kill -0 "$server" 2>/dev/null; then
    echo "trelmsrv ended before it listened on port $port (is another server running?)."
    exit 1
  fi
  sleep 0.2
done

(cd "$RUN/client" && exec ./trelmcli) &
client=$!
started+=($client)
echo "trelmcli started in $RUN/client/ (pid $client); the server listens on port $port."
echo "Send a message from the client to see it decoded in the modem's log; \"Считать сообщения\""
echo "fetches the message that waited on the SIM. Close the client (or press Ctrl-C) to stop."
wait "$client" || true
