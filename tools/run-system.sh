#!/usr/bin/env bash
# Command one: builds, lays out a ready program directory under run/ and starts
# what the system has. Without a display it runs on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target trelmsrv trelmcli

RUN=run
mkdir -p "$RUN"
for exe in trelmsrv trelmcli; do
  [ -x "build/bin/$exe" ] && cp "build/bin/$exe" "$RUN/"
done
[ -f "$RUN/Config.ini" ] || cp tools/demo/Config.ini "$RUN/Config.ini"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running on Qt's offscreen platform (nothing is shown)."
  export QT_QPA_PLATFORM=offscreen
fi

started=()
if [ -x "$RUN/trelmsrv" ]; then
  (cd "$RUN" && exec ./trelmsrv) & started+=($!)
  echo "trelmsrv started in $RUN (pid ${started[-1]})"
fi
if [ -x "$RUN/trelmcli" ]; then
  (cd "$RUN" && exec ./trelmcli) & started+=($!)
  echo "trelmcli started in $RUN (pid ${started[-1]})"
fi
if [ ${#started[@]} -eq 0 ]; then
  echo "No program is built yet; the program directory is $RUN/."
  exit 0
fi
trap 'kill "${started[@]}" 2>/dev/null || true' INT TERM
wait
