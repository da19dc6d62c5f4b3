#!/usr/bin/env bash
# Lays out the demo's program folders: each program in a folder of its own
# (<run>/server, <run>/client) with its own Config.ini. The two never share one:
# each keeps an inbox.db and an outbox.db, and they mean different things to each.
#   lay-out.sh <folder of the built programs> <run folder>
# A Config.ini already in place is kept, edits and all; so is every other file.
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

# Files from when both programs shared the run folder: whose they are cannot be told.
shared=()
for f in Config.ini registry.reg inbox.db outbox.db ab.db; do
  [ -e "$run/$f" ] && shared+=("$run/$f")
done
if [ ${#shared[@]} -gt 0 ]; then
  echo "Neither program reads ${shared[*]} any more (both once shared $run/); they are left as they are."
fi
exit 0
