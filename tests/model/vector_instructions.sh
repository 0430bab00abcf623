#!/usr/bin/env bash
# The program runs on any x86-64 processor: AVX instructions (VEX-encoded,
# the v... mnemonics and the 256-bit %ymm registers) appear only in the
# normal-equations update that is chosen at run time on processors with
# AVX2.  Fails, naming them, when any other function of the binary has one.
#
#   vector_instructions.sh BINARY
set -euo pipefail
binary=$1
allowed='^(void )?velor::model::kernels::\(anonymous namespace\)::(update<[0-9]+>|fold_update)\('
functions=$(objdump -d --no-show-raw-insn -C "$binary" | awk '
    /^[0-9a-f]+ <.*>:$/ { name = $0; sub(/^[0-9a-f]+ </, "", name); sub(/>:$/, "", name); next }
    /\tv[a-z0-9]+[ \t]/ || /%ymm/ { if (!(name in seen)) { seen[name] = 1; print name } }')
kernels=$(grep -cE "$allowed" <<< "$functions" || true)
others=$(grep -vE "$allowed" <<< "$functions" || true)
if [[ -n $others ]]; then
    echo "AVX instructions outside the vector update of the normal equations:" >&2
    echo "$others" >&2
    exit 1
fi
echo "AVX instructions in $kernels functions, all of them the vector update"
