#!/usr/bin/env bash
# Pictures of the client's main window, settings dialog and login dialog, taken
# on a virtual X display, for a person to look at. Usage:
#   bash tools/client-screenshots.sh [output directory, default build/screenshots]
# A relative output directory is taken from the caller's folder, the default from
# the repository's.
set -euo pipefail
out=
if [ $# -ge 1 ]; then
  case $1 in /*) out=$1 ;; *) out=$PWD/$1 ;; esac
fi
cd "$(dirname "$0")/.."
out=${out:-build/screenshots}
bash tools/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j4 --target client_screenshots
mkdir -p "$out"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x900x24" build/bin/client_screenshots "$out"
