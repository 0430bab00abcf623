#!/usr/bin/env bash
# Benchmarks of a whole velor run on synthetic data sets: wall time against
# the floor of reading NAME.fcf twice and writing NAMEx.hkl once (what any
# program doing this job must at least do), peak resident memory, and
# instructions per reflection.  Prints a Markdown table for the README.
#
#   bench/run.sh                         build Release into build-bench/
#   VELOR_BUILD_DIR=DIR bench/run.sh     use the velor and velor-gen in DIR
#   VELOR_BENCH_DIR=DIR                  scratch folder (/tmp/velor-bench)
#   VELOR_BENCH_RUNS=N                   timed runs per command (5)
#
# Needs cmake, g++, hyperfine, time (/usr/bin/time) and valgrind.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
scratch=${VELOR_BENCH_DIR:-/tmp/velor-bench}
runs=${VELOR_BENCH_RUNS:-5}

need() {  # command, Debian package
    command -v "$1" > /dev/null && return
    echo "run.sh: '$1' not found; install it with: apt-get install -y $2" >&2
    exit 1
}
need hyperfine hyperfine; need /usr/bin/time time; need valgrind valgrind

mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)
case "$scratch/" in
    "$root"/*) echo "run.sh: the scratch folder must be outside the repository" >&2; exit 1 ;;
esac

# --- Build -------------------------------------------------------------------
if [[ -n ${VELOR_BUILD_DIR:-} ]]; then
    build=$(cd "$VELOR_BUILD_DIR" && pwd)
else
    build=$root/build-bench
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELOR_TESTS=OFF > /dev/null
    cmake --build "$build" -j2 --target velor velor-gen > /dev/null
fi
velor=$build/velor
gen=$build/tools/velor-gen
for exe in "$velor" "$gen"; do
    [[ -x $exe ]] || { echo "run.sh: $exe is missing" >&2; exit 1; }
done
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
[[ $build_type == Release ]] || echo "run.sh: warning: $build is a '$build_type' build" >&2

# --- Data sets (made again when velor-gen is newer) -----------------------------
declare -A count=([100k]=100000 [1M]=1000000 [4M]=4000000)
sizes=(100k 1M 4M)
cd "$scratch"
for s in "${sizes[@]}"; do
    if [[ ! m$s.fcf -nt $gen ]]; then
        echo "making m$s (${count[$s]} reflections) ..." >&2
        "$gen" --reflections "${count[$s]}" --noise 1 --seed 1 --out "$scratch/m$s" > /dev/null
    fi
done

# --- Wall time: velor with each fit type and the floor, in one hyperfine run -----
fits=(C Q L F)
declare -A mean sd best
for s in 1M 4M; do
    echo "timing m$s ..." >&2
    "$velor" "m$s" L < /dev/null > /dev/null   # so that m${s}x.hkl exists for the floor
    commands=()
    for fit in "${fits[@]}"; do commands+=(-n "$fit" "$velor m$s $fit < /dev/null > /dev/null"); done
    hyperfine --style none --warmup 1 --runs "$runs" --export-json "hf-m$s.json" --export-csv "hf-m$s.csv" \
        "${commands[@]}" \
        -n floor "cat m$s.fcf m$s.fcf > /dev/null; cat m${s}x.hkl > copy" > /dev/null
    while IFS=, read -r name m d _ _ _ lo _; do   # command,mean,stddev,median,user,system,min,max
        mean[$s,$name]=$m; sd[$s,$name]=$d; best[$s,$name]=$lo
    done < <(tail -n +2 "hf-m$s.csv")
done
rm -f copy

# --- Peak resident memory --------------------------------------------------------
declare -A rss
for s in "${sizes[@]}"; do
    for fit in "${fits[@]}"; do
        /usr/bin/time -v -o time.txt "$velor" "m$s" "$fit" < /dev/null > /dev/null
        rss[$s,$fit]=$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' time.txt)
    done
done

# --- Instructions per reflection (callgrind, 100k reflections) -------------------
declare -A ir
for fit in "${fits[@]}"; do
    echo "callgrind, fit $fit ..." >&2
    valgrind --tool=callgrind --callgrind-out-file="cg.$fit.out" "$velor" m100k "$fit" \
        < /dev/null > /dev/null 2> "cg.$fit.log"
    total=$(awk '/^(summary|totals):/ {print $2; exit}' "cg.$fit.out")
    ir[100k,$fit]=$((total / count[100k]))
done

# --- Report ----------------------------------------------------------------------
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
commit=$(git -C "$root" describe --always --dirty 2> /dev/null || echo unknown)
echo
echo "Machine: $(nproc) cores, ${cpu:-unknown CPU}; $(date -u +%Y-%m-%d); $("$velor" --version) ($commit)."
echo "Data: \`velor-gen --reflections N --noise 1 --seed 1\`. Time: mean ± σ and best of $runs runs (hyperfine);"
echo "floor: \`cat mN.fcf mN.fcf > /dev/null; cat mNx.hkl > copy\`. Instructions: callgrind."
echo
echo "| Reflections | Fit | Time (s) | Best (s) | Floor (s) | × floor | Reflections/s | Best reflections/s | Peak RSS (MiB) | Instructions/reflection |"
echo "|---:|:-:|---:|---:|---:|---:|---:|---:|---:|---:|"
for s in "${sizes[@]}"; do
    for fit in "${fits[@]}"; do
        awk -v n="${count[$s]}" -v fit="$fit" -v t="${mean[$s,$fit]:-}" -v d="${sd[$s,$fit]:-}" -v lo="${best[$s,$fit]:-}" \
            -v floor="${mean[$s,floor]:-}" -v rss="${rss[$s,$fit]}" -v ir="${ir[$s,$fit]:-}" 'BEGIN {
            n_text = sprintf("%d", n)   # 4000000 -> 4,000,000
            for (i = length(n_text) - 3; i > 0; i -= 3) n_text = substr(n_text, 1, i) "," substr(n_text, i + 1)
            if (t == "") timing = "– | – | – | – | – | –"
            else timing = sprintf("%.3f ± %.3f | %.3f | %.3f | %.1f | %.2f M | %.2f M", t, d, lo, floor, t / floor,
                                  n / t / 1e6, n / lo / 1e6)
            printf "| %s | %s | %s | %s | %s |\n", n_text, fit, timing, rss, (ir == "" ? "–" : ir)
        }'
    done
done
