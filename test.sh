#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   ./test.sh              release build in build/
#   ./test.sh --sanitize   the same with AddressSanitizer + UBSan in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")"

build=build
flags=()
case "${1:-}" in
  "") ;;
  --sanitize) build=build-sanitize; flags+=(-DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF) ;;
  *) echo "usage: ./test.sh [--sanitize]" >&2; exit 1 ;;
esac

scripts/install-deps
# The compiler cache is shared by every clone of the tree on this machine.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
