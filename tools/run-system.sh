#!/usr/bin/env bash
# Command one: builds, lays out a ready program directory for each program
# (run/server/, run/client/) and starts what the system has. Without a display it
# runs on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target trelmsrv trelmcli

RUN=run
bash tools/demo/lay-out.sh build/bin "$RUN"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running on Qt's offscreen platform (nothing is shown)."
  export QT_QPA_PLATFORM=offscreen
fi

started=()
for pair in server:trelmsrv client:trelmcli; do
  dir=$RUN/${pair%%:*}
  exe=${pair#*:}
  [ -x "$dir/$exe" ] || continue
  (cd "$dir" && exec "./$exe") & started+=($!)
  echo "$exe started in $dir/ (pid ${started[-1]})"
done
if [ ${#started[@]} -eq 0 ]; then
  echo "No program is built yet; the program directories are under $RUN/."
  exit 0
fi
trap 'kill "${started[@]}" 2>/dev/null || true' INT TERM
wait
