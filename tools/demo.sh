#!/usr/bin/env bash
# The program's main job on a prepared demo machine (a Wine prefix of its
# own, without the Z: drive, with the maker's printers and their uninstall
# scripts installed by demo_machine.exe), played through by demodriver.exe: the
# loading dialog, the selection page with the printers listed, and the finished
# removal page are saved as BUILD/prnuninst-loading.png, BUILD/prnuninst-main.png
# and BUILD/prnuninst-removal.png.
#   demo.sh BUILD_DIR
# With DISPLAY set the program shows on that display and stays until closed;
# otherwise it runs under Xvfb and ends after the removal.
set -euo pipefail
build=$(readlink -f "${1:?usage: demo.sh BUILD_DIR}")
here=$(dirname "$(readlink -f "$0")")
bed="$build/demo"

if [ -n "${DISPLAY:-}" ]; then
    export WINE_BED_DISPLAY="$DISPLAY"
    close=""
else
    close="--exit"
fi

WINE_BED_DESKTOP=800x600 "$here/wine-bed.sh" up "$bed" "$build/bin" "$build/tests/bin"
trap '"$here/wine-bed.sh" down "$bed"' EXIT

"$here/wine-run.sh" "$bed" "$build/tests/bin/demo_machine.exe"

# The loading dialog is the only plain dialog on the screen while it runs.
"$here/wine-run.sh" "$bed" "$build/tests/bin/windowshot.exe" '#32770' 'T:\prnuninst-loading.png' &
loadingShot=$!

"$here/wine-run.sh" "$bed" "$build/bin/prnuninst.exe" &
program=$!

"$here/wine-run.sh" "$bed" "$build/tests/bin/demodriver.exe" 'T:\prnuninst-main.png' 'T:\prnuninst-removal.png' $close
for shot in main removal; do
    mv -f "$build/tests/bin/prnuninst-$shot.png" "$build/prnuninst-$shot.png"
    echo "demo: $shot window saved to $build/prnuninst-$shot.png"
done
if wait "$loadingShot" && [ -f "$build/tests/bin/prnuninst-loading.png" ]; then
    mv -f "$build/tests/bin/prnuninst-loading.png" "$build/prnuninst-loading.png"
    echo "demo: loading dialog saved to $build/prnuninst-loading.png"
fi

set +e
wait "$program"
code=$?
set -e
echo "demo: prnuninst.exe ended with $code"
