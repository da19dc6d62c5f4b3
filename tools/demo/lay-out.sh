#!/usr/bin/env bash
# Lays out the demo's program folders: each program in a folder of its own
# (<run>/server, <run>/client) with its own Config.ini. The two never share one:
# each keeps an inbox.db and an outbox.db, and they mean different things to each.
#   lay-out.sh <folder of the built programs> <run folder>
# A Config.ini already in place is kept, edits and all; so is every other file.
# The server's modem is the simulator, whose terminal <run>/modem links to: its
# registry.reg declares that device as COM5 (added when it declares no serial
# port yet), and the demo's Config.ini allows COM5 and reads the SIM.
set -euo pipefail
demo=$(cd "$(dirname "$0")" && pwd)
bin=$1
run=$2

for pair in server:trelmsrv client:trelmcli; do
  folder=$run/${pair%%:*}
  exe=${pair#*:}
  [ -x "$bin/$exe" ] || continue
  mkdir -p "$folder"
  cp "$bin/$exe" "$folder/"
  [ -f "$folder/Config.ini" ] || cp "$demo/${pair%%:*}/Config.ini" "$folder/Config.ini"
done

if [ -d "$run/server" ]; then
  modem=$(cd "$run" && pwd -P)/modem
  quoted=${modem//\\/\\\\}
  quoted=${quoted//\"/\\\"}
  registry=$run/server/registry.reg
  if ! grep -qiF 'HARDWARE\DEVICEMAP\SERIALCOMM]' "$registry" 2>/dev/null; then
    # Appended after the lines already there (a users list, the message counter).
    if [ -s "$registry" ] && [ -n "$(tail -c 1 "$registry")" ]; then echo >>"$registry"; fi
    cat >>"$registry" <<REG
; the modem simulator's terminal as COM5, a modem's port
[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_c251&Pid_b6e4\\SIM0\\Device Parameters]
"PortName"="COM5"
[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]
"$quoted"="COM5"
REG
  elif ! grep -qF "\"$quoted\"=\"COM5\"" "$registry"; then
    echo "$registry declares serial ports, but not $modem as COM5: the server will not find the simulated modem."
  fi
  if ! grep -qiE '^[[:space:]]*COM5[[:space:]]*=[[:space:]]*[^[:space:]]' "$run/server/Config.ini"; then
    echo "$run/server/Config.ini does not allow COM5 under [DEVICEMAP]: the server will not use the simulated modem."
  fi
fi

# Files from when both programs shared the run folder: whose they are cannot be told.
shared=()
for f in Config.ini registry.reg inbox.db outbox.db ab.db; do
  [ -e "$run/$f" ] && shared+=("$run/$f")
done
if [ ${#shared[@]} -gt 0 ]; then
  echo "Neither program reads ${shared[*]} any more (both once shared $run/); they are left as they are."
fi
exit 0
