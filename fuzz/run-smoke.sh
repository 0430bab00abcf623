#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a
# few seconds on a scratch copy of its seed corpus (fuzz/corpus/ is never
# written).  Exits non-zero if any target finds a crash, a sanitizer report,
# a leak, a hang or a memory blow-up; the input that did it is kept under
# build-fuzz/artifacts/<target>/.
#
# Needs clang++, libFuzzer (Debian: clang libclang-rt-14-dev), cmake, and
# make or ninja.  FUZZ_SECONDS sets the time per target (default 5);
# FUZZ_SEED the random seed (default 1, so that a run in CI can be repeated).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-5}
targets=(fuzz_record_read fuzz_free_format fuzz_field_writer fuzz_input_side)
command -v clang++ >/dev/null || { echo "run-smoke.sh: clang++ not found (apt-get install clang libclang-rt-14-dev)" >&2; exit 1; }

generator=()
if [ ! -f build-fuzz/CMakeCache.txt ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVELOR_FUZZ=ON -DVELOR_TESTS=OFF -DVELOR_TOOLS=OFF </dev/null
cmake --build build-fuzz -j2 --target "${targets[@]}" </dev/null

# Absolute paths throughout: fuzz_input_side changes its working folder.
scratch=$(cd "$(mktemp -d "${TMPDIR:-/tmp}/velor-fuzz-smoke.XXXXXX")" && pwd)
trap 'rm -rf "$scratch"' EXIT

failed=0
for target in "${targets[@]}"; do
  work="$scratch/$target"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp fuzz/corpus/"$target"/* "$work/corpus/"
  dict=()
  [ -f fuzz/"$target".dict ] && dict=(-dict="$PWD/fuzz/$target.dict")
  if build-fuzz/fuzz/"$target" "$work/corpus" "${dict[@]}" -seed="${FUZZ_SEED:-1}" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
       -print_final_stats=1 -artifact_prefix="$work/artifacts/" </dev/null >"$work/log" 2>&1; then
    echo "$target: ok, $(grep -a 'stat::number_of_executed_units' "$work/log" | awk '{print $2}') runs in ${seconds} s"
  else
    echo "$target: FAILED (exit status $?); the end of its log:"
    tail -n 60 "$work/log"
    mkdir -p build-fuzz/artifacts/"$target"
    cp "$work"/artifacts/* build-fuzz/artifacts/"$target"/ 2>/dev/null || true
    echo "$target: reproduce with build-fuzz/fuzz/$target build-fuzz/artifacts/$target/<file>"
    failed=$((failed + 1))
  fi
done

echo "fuzz-smoke: $((${#targets[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
