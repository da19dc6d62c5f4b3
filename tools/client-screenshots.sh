#!/usr/bin/env bash
# Pictures of the client's main window, settings dialog and login dialog, taken
# on a virtual X display, for a person to look at. Usage:
#   bash tools/client-screenshots.sh [output directory, default build/screenshots]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
out=${1:-build/screenshots}
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j4 --target client_screenshots
mkdir -p "$out"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x900x24" build/bin/client_screenshots "$out"
