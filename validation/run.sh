#!/usr/bin/env bash
# Runs the validation grid and writes validation/RESULTS.md and its plot.
#
#   apt-get install -y python3-cctbx python3-matplotlib    # once
#   bash validation/run.sh [--grid main|heldout] [--velor PATH] [--jobs N]
#
# velor is taken from build/velor of this checkout unless --velor names
# another; it is built first when it is missing.  All outputs go to
# validation/out (validation/out-heldout for the held-out grid); the
# transmissions are cached there, so a second run skips them.  Either grid
# then writes RESULTS.md from validation/out, with the advice rule and the
# warnings checked on validation/out-heldout when the held-out grid has run.
set -euo pipefail
cd "$(dirname "$0")/.."

grid=main velor=build/velor jobs=2
while [ $# -gt 0 ]; do
  case "$1" in
    --grid) grid=$2; shift 2 ;;
    --velor) velor=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    *) echo "usage: $0 [--grid main|heldout] [--velor PATH] [--jobs N]" >&2; exit 2 ;;
  esac
done

if [ ! -x "$velor" ] && [ "$velor" = build/velor ]; then
  cmake -S . -B build >/dev/null && cmake --build build -j2 --target velor
fi
out=validation/out
[ "$grid" = main ] || out=validation/out-$grid

# cctbx is Debian's: its own interpreter, one thread per process.
export OMP_NUM_THREADS=1 OPENBLAS_NUM_THREADS=1 PYTHONDONTWRITEBYTECODE=1
export PYTHONPATH="$PWD/validation${PYTHONPATH:+:$PYTHONPATH}"
/usr/bin/python3 -m velorval.cli --grid "$grid" --velor "$velor" --out "$out" --jobs "$jobs"
if [ -f validation/out/records.jsonl ]; then
  heldout=validation/out-heldout
  [ -f $heldout/records.jsonl ] || heldout=
  /usr/bin/python3 -m velorval.report validation/out validation/RESULTS.md $heldout
  echo "validation/RESULTS.md written${heldout:+ (rule checked on the held-out grid)}"
fi
