#!/usr/bin/env bash
# Installs what is missing, builds velmora and starts it with a simulated cardiograph attached.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

cli=build/src/cli/velmora-cli
echo "run.sh: the window program is not built yet; starting the simulated cardiograph:"
echo "run.sh:   $cli simulate --record-after 5 $*"
echo "run.sh: it prints the COM number and device it serves; stop it with Ctrl+C."
exec "$cli" simulate --record-after 5 "$@"
