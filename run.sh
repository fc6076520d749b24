#!/usr/bin/env bash
# Installs what is missing, builds velmora and starts it with a simulated cardiograph attached:
# the simulator runs on a pseudo-terminal registered as COM40, and the demo settings file points
# the record windows at COM40. Press Ctrl+N for a record window, then Ctrl+Enter to receive.
#   ./run.sh [simulator options]     (see: build/src/cli/velmora-cli simulate --help)
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display (DISPLAY or WAYLAND_DISPLAY is not set); built in build/." >&2
  echo "run.sh: under X forwarding or a desktop session run ./run.sh again." >&2
  exit 1
fi

com=40
demo=build/demo
mkdir -p "$demo"
ini="$demo/velmora.ini"
if [ -f "$ini" ] && grep -q '^m_nCom=' "$ini"; then
  sed -i "s/^m_nCom=.*/m_nCom=$com\r/" "$ini"
else
  printf '[settings]\r\nm_nCom=%s\r\n' "$com" >> "$ini"
fi
chmod 600 "$ini"

build/src/cli/velmora-cli simulate --com "$com" --record-after 8 "$@" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
echo "run.sh: simulated cardiograph on COM$com; starting velmora with the settings $ini"
build/src/app/velmora --config "$ini"
