#!/usr/bin/env bash
# Builds velor.exe, velor-gen.exe and the unit tests that run on Windows with
# Debian's MinGW-w64 cross compiler (in build-windows/, or the folder given),
# and runs them under wine, headless, in a wine prefix of the build's own:
#   - the unit tests, each test program under wine (ctest);
#   - every golden run of tests/data/golden against the same expected files
#     as on Linux, byte for byte (the error stream with CR LF line ends, as
#     Windows writes text): with the stem as given, as a path with a drive
#     letter and backslashes (Z:\...\g; wine maps Z: to /), with forward
#     slashes, in a folder whose full path is longer than 260 characters,
#     and with the keyboard answers in CR LF;
#   - the example, a missing file and fits on generated data sets, with the
#     JSON, CIF and HTML summaries, against the Linux build's same runs
#     (velor-gen.exe's data sets against velor-gen's);
#   - a summary file that would replace g.fcf, as given and in upper case;
#   - Ctrl-C (SIGINT to the wine process, which wine hands to the console
#     control handler on a thread of its own) and a kill while the temporary
#     files are being written: no file left, the earlier ones as they were.
# Any difference fails.  The Linux build to compare with is build/ (or
# $VELOR_LINUX_BUILD); velor and velor-gen are built there if missing.
#
#   bash tests/windows/run-under-wine.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=$(realpath -m "${1:-build-windows}")
linux=$(realpath -m "${VELOR_LINUX_BUILD:-build}")

for tool in x86_64-w64-mingw32-g++-posix wine; do
    command -v $tool > /dev/null || { echo "$tool is missing (apt-get install g++-mingw-w64-x86-64-posix wine)" >&2; exit 1; }
done

# --- Builds ---------------------------------------------------------------------
# The unit tests are part of the check: a build folder configured without
# them (-DVELOR_TESTS=OFF, for velor.exe alone) gets them switched on.
if [[ -f $build/CMakeCache.txt ]]; then
    cmake -S . -B "$build" -DVELOR_TESTS=ON > /dev/null
else
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DVELOR_TESTS=ON > /dev/null
fi
cmake --build "$build" -j2
for exe in "$build/velor.exe" "$build/tools/velor-gen.exe"; do   # only what every Windows has
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
    echo "$(basename "$exe") needs: $dlls"
    for dll in ${dlls,,}; do [[ $dll == kernel32.dll || $dll == msvcrt.dll ]] || { echo "$exe needs $dll" >&2; exit 1; }; done
done
[[ -x $linux/velor && -x $linux/tools/velor-gen ]] || { cmake -S . -B "$linux" > /dev/null && cmake --build "$linux" -j2 --target velor velor-gen; }

# --- Wine, without a display ------------------------------------------------------
export WINEPREFIX=$build/wine-prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no .NET or browser engine to install
unset DISPLAY WAYLAND_DISPLAY
# A server of this prefix that ends (seconds after its last program) while
# the next program connects fails that program ("recvmsg: Connection reset
# by peer"): wait for any from an earlier run first.
wineserver --wait
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    wine wineboot --init < /dev/null > "$build/wine-prefix.log" 2>&1 || { cat "$build/wine-prefix.log" >&2; exit 1; }
fi

# --- Unit tests ---------------------------------------------------------------------
ctest --test-dir "$build" --output-on-failure --no-tests=error -j2

# --- Whole runs ---------------------------------------------------------------------
runs=$build/wine-runs
rm -rf "$runs" && mkdir -p "$runs"
passed=0 failed=0
fail() { echo "FAILED: $*" >&2; failed=$((failed + 1)); }
same() { cmp -s "$2" "$3" || { fail "$1: $(cmp "$2" "$3" 2>&1 | head -1)"; return 1; }; }

# golden CASE FORM; FORM is plain, backslash, slash, long or crlf.
golden() {
    local data=$root/tests/data/golden/$1 dir=$runs/$1-$2 out=$runs/$1-$2 status=0 args
    local cwd=$dir input=$data/stdin
    [[ $2 != crlf || -s $data/stdin ]] || return 0   # no keyboard answers to change
    read -r -a args < "$data/args"
    [[ $2 == long ]] && dir=$dir/$(printf 'x%.0s' {1..120})/$(printf 'y%.0s' {1..120})
    mkdir -p "$dir" && cp "$data/g.res" "$data/g.fcf" "$dir/"
    for name in gx.hkl gx.ins gx.abs; do echo "earlier run" > "$dir/$name"; done   # to be replaced
    case $2 in
        backslash | long) args[0]=Z:${dir//\//\\}\\${args[0]} cwd=$runs ;;   # wine's Z: is /
        slash) args[0]=Z:$dir/${args[0]} cwd=$runs ;;
        crlf) input=$out.stdin && sed 's/$/\r/' "$data/stdin" > "$input" ;;
    esac
    (cd "$cwd" && wine "$build/velor.exe" "${args[@]}" < "$input" > "$out.stdout" 2> "$out.stderr") || status=$?
    local what="golden $1 ($2: velor ${args[*]})"
    [[ $status == 0 ]] || { fail "$what: exit status $status, $(head -c 300 "$out.stderr")"; return; }
    sed 's/$/\r/' "$data/expected.stderr" > "$out.expected-stderr"
    same "$what: error stream" "$out.stderr" "$out.expected-stderr" || return
    same "$what: standard output" "$out.stdout" "$data/expected.stdout" || return
    for name in gx.hkl gx.ins gx.abs; do same "$what: $name" "$dir/$name" "$data/$name" || return; done
    [[ $(ls -A "$dir" | tr '\n' ' ') == "g.fcf g.res gx.abs gx.hkl gx.ins " ]] || { fail "$what: left $(ls -A "$dir")"; return; }
    passed=$((passed + 1))
}

# against_linux NAME FOLDER ARGS...: velor and velor.exe, each in a copy of
# FOLDER's .res and .fcf files, with the same arguments and no keyboard
# input: the same standard output, exit status, error stream (but for its
# CR LF) and files.
against_linux() {
    local dir=$runs/$1 from=$2 what="$1 (velor ${*:3})" status
    shift 2
    mkdir -p "$dir/linux" "$dir/windows"
    cp "$from"/*.res "$from"/*.fcf "$dir/linux/" && cp "$from"/*.res "$from"/*.fcf "$dir/windows/"
    status=0 && (cd "$dir/linux" && "$linux/velor" "$@" < /dev/null > ../linux.stdout 2> ../linux.stderr) || status=$?
    echo "exit status $status" >> "$dir/linux.stdout"
    status=0 && (cd "$dir/windows" && wine "$build/velor.exe" "$@" < /dev/null > ../windows.stdout 2> ../windows.err) || status=$?
    echo "exit status $status" >> "$dir/windows.stdout"
    sed 's/\r$//' "$dir/windows.err" > "$dir/windows.stderr"
    same "$what: standard output and exit status" "$dir/windows.stdout" "$dir/linux.stdout" || return
    same "$what: error stream" "$dir/windows.stderr" "$dir/linux.stderr" || return
    diff -r --brief "$dir/linux" "$dir/windows" > "$dir/diff" || { fail "$what: $(head -3 "$dir/diff")"; return; }
    passed=$((passed + 1))
}

# generated NAME OPTIONS...: d.res and d.fcf in $runs/NAME from
# velor-gen.exe, which must equal velor-gen's.
generated() {
    local name=$1 && shift
    mkdir -p "$runs/$name" "$runs/$name-linux"
    (cd "$runs/$name" && wine "$build/tools/velor-gen.exe" --out d "$@" > ../$name.gen-windows)
    (cd "$runs/$name-linux" && "$linux/tools/velor-gen" --out d "$@" > ../$name.gen-linux)
    same "velor-gen $*: output" "$runs/$name.gen-windows" "$runs/$name.gen-linux" || return
    for ext in res fcf; do same "velor-gen $*: d.$ext" "$runs/$name/d.$ext" "$runs/$name-linux/d.$ext" || return; done
}

# interrupted SIGNAL STATUS, once the temporary data file exists: INT is
# Ctrl-C, which ends with STATUS_CONTROL_C_EXIT (its low byte, 58, as
# wine's exit status); KILL ends the process as TerminateProcess does, and
# the temporary files go as they are closed.  No temporary file may be
# left, and the earlier file must be as it was.
interrupted() {
    local dir=$runs/interrupted status=0
    echo "earlier run" > "$dir/dx.hkl"
    (cd "$dir" && exec wine "$build/velor.exe" d L < /dev/null > ../interrupted.stdout 2>&1) &
    local pid=$!
    until compgen -G "$dir/.dx.hkl.tmp*" > /dev/null || ! kill -0 $pid 2> /dev/null; do sleep 0.02; done
    kill -$1 $pid 2> /dev/null || true
    wait $pid 2> /dev/null || status=$?
    sleep 0.5   # for wine's server to close the files of a killed process
    local left=$(ls -A "$dir" | tr '\n' ' ')
    [[ $status == "$2" && $left == "d.fcf d.res dx.hkl " && $(cat "$dir/dx.hkl") == "earlier run" ]] ||
        { fail "SIG$1: exit status $status, left $left"; return; }
    passed=$((passed + 1))
}

# clash NAME GIVEN: --json GIVEN names g.fcf (in any case, as Windows
# compares names): exit status 2, one line, nothing written.
clash() {
    local dir=$runs/clash-$1 status=0 what="clash (velor --json $2 g C)" data=$root/tests/data/golden/cubic
    mkdir -p "$dir" && cp "$data/g.res" "$data/g.fcf" "$dir/"
    (cd "$dir" && wine "$build/velor.exe" --json "$2" g C < /dev/null > /dev/null 2> "$dir.stderr") || status=$?
    printf "velor: option --json: '%s' would replace 'g.fcf', the reflection file of the refinement\r\n" "$2" > "$dir.expected"
    [[ $status == 2 ]] || { fail "$what: exit status $status"; return; }
    same "$what: error stream" "$dir.stderr" "$dir.expected" || return
    same "$what: g.fcf" "$dir/g.fcf" "$data/g.fcf" || return
    [[ $(ls -A "$dir" | tr '\n' ' ') == "g.fcf g.res " ]] || { fail "$what: left $(ls -A "$dir")"; return; }
    passed=$((passed + 1))
}

for data in "$root"/tests/data/golden/*/; do
    for form in plain backslash slash long crlf; do golden "$(basename "$data")" $form; done
done
summaries=(--json s.json --cif s.cif --html s.html)
against_linux demo "$root/examples" "${summaries[@]}" demo L
against_linux missing-file "$root/examples" nosuch L   # exit status 1, the file named
# Cell angles at which the C libraries of Linux and Windows give different
# cos (60.272°) or sin (99.4°, 103.15°).
generated triclinic --system triclinic --cell 9.1,10.4,11.7,60.272,99.4,103.15 --reflections 20000 --noise 1 --seed 3
against_linux triclinic-C "$runs/triclinic" "${summaries[@]}" d C
against_linux triclinic-F "$runs/triclinic" "${summaries[@]}" d F
generated monoclinic-cu --system monoclinic --lambda 1.54184 --reflections 20000 --layout legacy --legacy-res --crlf --seed 4
against_linux monoclinic-cu-Q "$runs/monoclinic-cu" "${summaries[@]}" d Q
clash plain g.fcf
clash case G.FCF
mkdir -p "$runs/interrupted" && (cd "$runs/interrupted" && "$linux/tools/velor-gen" --out d --reflections 3000000 > /dev/null)
interrupted INT 58
interrupted KILL 137
rm "$runs/interrupted/d.fcf"

wineserver --wait
echo "wine: $passed passed, $failed failed"
[[ $failed == 0 ]]
