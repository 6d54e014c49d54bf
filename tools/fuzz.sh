#!/usr/bin/env bash
# Builds the script fuzz target natively with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it for a bounded time.
#   fuzz.sh SOURCE_DIR WORK_DIR SECONDS
# Fails on any finding.
set -euo pipefail
src=${1:?usage: fuzz.sh SOURCE_DIR WORK_DIR SECONDS}
work=${2:?usage: fuzz.sh SOURCE_DIR WORK_DIR SECONDS}
seconds=${3:-30}
mkdir -p "$work/corpus"
cp -n "$src"/tests/fuzz/corpus/* "$work/corpus/" 2>/dev/null || true

clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I "$src/uninstaller" \
    "$src/tests/fuzz/ScriptFuzz.cpp" \
    "$src/uninstaller/common/Text.cpp" \
    "$src/uninstaller/script/IniModel.cpp" \
    "$src/uninstaller/script/UninstallProfile.cpp" \
    "$src/uninstaller/script/ScriptReader.cpp" \
    "$src/uninstaller/script/ItemNames.cpp" \
    "$src/uninstaller/script/PathParts.cpp" \
    "$src/uninstaller/script/DatabaseBuild.cpp" \
    -o "$work/script_fuzz"

cd "$work"
rm -f crash-* leak-* timeout-* oom-*
if ./script_fuzz -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 corpus >fuzz.log 2>&1; then
    tail -n 12 fuzz.log
    echo "1 passed, 0 failed"
else
    tail -n 60 fuzz.log
    echo "0 passed, 1 failed"
    exit 1
fi
