#!/usr/bin/env bash
# Runs a Windows program of the build tree in the Wine test bed:
#   wine-run.sh BED_DIR PROGRAM.exe [ARGS...]
# The program runs from its drive letter (P:, T:, ...) with code page 932.
set -euo pipefail

bed=${1:?usage: wine-run.sh BED_DIR PROGRAM [ARGS...]}
bed=$(realpath -m "$bed")
program=${2:?usage: wine-run.sh BED_DIR PROGRAM [ARGS...]}
shift 2
prefix="$bed/prefix"

if [ ! -f "$bed/display" ] || [ ! -d "$prefix/dosdevices" ]; then
    echo "wine-run: the test bed is not up (tools/wine-bed.sh up)" >&2
    exit 1
fi
if [ -e "$prefix/dosdevices/z:" ] || [ -L "$prefix/dosdevices/z:" ]; then
    echo "wine-run: the prefix has a Z: drive; refusing to run" >&2
    exit 1
fi

program=$(readlink -f "$program")
dir=$(dirname "$program")
drive=""
for link in "$prefix"/dosdevices/?:; do
    if [ "$(readlink -f "$link")" = "$dir" ]; then
        drive=$(basename "$link")
        break
    fi
done
if [ -z "$drive" ]; then
    echo "wine-run: $dir is not a drive of the test bed" >&2
    exit 1
fi

export WINEPREFIX="$prefix" WINEDEBUG=${WINEDEBUG:--all}
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY=$(cat "$bed/display")
export DISPLAY
cd "$dir"
# The program's output goes through a file: Wine's helper processes that the
# program may start inherit its handles and would otherwise hold the caller's
# pipe open after the program has ended.
log=$(mktemp "$bed/run.XXXXXX")
trap 'rm -f "$log"' EXIT
set +e
wine "${drive^^}\\$(basename "$program")" "$@" </dev/null >"$log" 2>&1
rc=$?
set -e
cat "$log"
exit $rc
